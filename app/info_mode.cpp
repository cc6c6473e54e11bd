// --info: the information text of each stream's first frame, and its tags.
#include <corvina/stream.h>

#include <cstdio>
#include <string>

#include "app/run_modes.h"
#include "app/track_choice.h"
#include "platform/message_presenter.h"
#include "player/message_stream.h"
#include "player/player_hooks.h"

using namespace corvina;

namespace {

bool DescribeStream(const std::string& strFile) {
    CStream stream;
    stream.SetWarningHandler(
        [](EDecoderWarning, const std::string& strText) { ShowWarningText(strText); });
    // The text needs the first frame alone: a long file's frames are counted
    // behind it, not before it.
    stream.SetBackgroundWalk(true);
    if (stream.OpenFile(strFile) != EStreamResult::Ok) {
        ShowInvalidStream(stream.FailureReason());
        return false;
    }
    g_MessageStream << WithTrackTags(stream.Description() + DescribeTracks(stream, strFile),
                                     stream.TrackInfo());
    ShowMessage(MSG_INFORMATION);
    return true;
}

}  // namespace

// A file that cannot be described does not keep the others from being.
int RunInfoMode(const CCommandLine& commandLine) {
    const bool bNamed = commandLine.files.size() > 1;
    int nStatus = EXIT_DECODED;
    for (std::size_t i = 0; i < commandLine.files.size(); ++i) {
        const std::string& strFile = commandLine.files[i];
        if (bNamed) {
            std::printf("%s%s:\n", i > 0 ? "\n" : "",
                        strFile == "-" ? "standard input" : strFile.c_str());
            std::fflush(stdout);
        }
        SetMessageSubject(strFile);
        if (!DescribeStream(strFile)) {
            nStatus = EXIT_UNUSABLE;
        }
    }
    return nStatus;
}
