// --info: the information text of each stream's first frame, and its tags.
#include <cstdio>
#include <memory>

#include "app/run_modes.h"
#include "app/track_choice.h"
#include "decoder/audio_decoder.h"
#include "output/discard_sink.h"
#include "platform/message_presenter.h"
#include "player/message_stream.h"
#include "player/player_hooks.h"

using namespace corvina;

namespace {

bool DescribeStream(const std::string& strFile) {
    CAudioDecoder::CHooks hooks;
    hooks.fnReportWarning = ShowWarningText;
    hooks.fnMakeSink = [](const CStreamFormat&) {
        return std::unique_ptr<CAudioSink>(std::make_unique<CDiscardSink>());
    };
    CAudioDecoder decoder(strFile.c_str(), std::move(hooks));
    if (decoder.Initialize() == 0) {
        ShowInvalidStream(decoder.FailureReason());
        return false;
    }
    g_MessageStream << WithTrackTags(decoder.FormatStreamInfo() + DescribeTracks(decoder, strFile),
                                     decoder.TrackInfo());
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
