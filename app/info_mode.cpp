// --info: the information text of a stream's first frame.
#include <memory>

#include "app/run_modes.h"
#include "decoder/audio_decoder.h"
#include "output/discard_sink.h"
#include "player/message_stream.h"

int RunInfoMode(const CCommandLine& commandLine) {
    CAudioDecoder decoder(commandLine.strFile.c_str(), [](int16_t, const CFrameHeader&) {
        return std::unique_ptr<CAudioSink>(std::make_unique<CDiscardSink>());
    });
    if (decoder.Initialize() == 0) {
        g_MessageStream << "Invalid Audio Stream";
        ShowMessage(MSG_WARNING);
        return EXIT_UNUSABLE;
    }
    decoder.ShowStreamInfo();
    return EXIT_DECODED;
}
