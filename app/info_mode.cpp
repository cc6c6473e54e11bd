// --info: the information text of a stream's first frame.
#include <memory>

#include "app/run_modes.h"
#include "decoder/audio_decoder.h"
#include "output/discard_sink.h"
#include "player/message_stream.h"
#include "player/player_hooks.h"

int RunInfoMode(const CCommandLine& commandLine) {
    CAudioDecoder::CHooks hooks;
    hooks.fnReportWarning = ShowWarningText;
    hooks.fnMakeSink = [](const CStreamFormat&) {
        return std::unique_ptr<CAudioSink>(std::make_unique<CDiscardSink>());
    };
    CAudioDecoder decoder(commandLine.strFile.c_str(), std::move(hooks));
    if (decoder.Initialize() == 0) {
        g_MessageStream << "Invalid Audio Stream";
        ShowMessage(MSG_WARNING);
        return EXIT_UNUSABLE;
    }
    g_MessageStream << decoder.FormatStreamInfo();
    ShowMessage(MSG_INFORMATION);
    return EXIT_DECODED;
}
