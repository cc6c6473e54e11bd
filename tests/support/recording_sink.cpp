// Decoding a file into memory for the tests.
#include "tests/support/recording_sink.h"

#include <memory>

#include "decoder/audio_decoder.h"

CDecodeResult DecodeFile(const std::string& strPath, int nMaxFrames) {
    CDecodeResult result;
    CAudioDecoder decoder(strPath.c_str(), [&](int16_t nChannels, const CFrameHeader&) {
        result.nChannels = nChannels;
        return std::unique_ptr<CAudioSink>(std::make_unique<CRecordingSink>(result));
    });
    result.nInitialized = decoder.Initialize();
    if (result.nInitialized == 0) {
        return result;
    }
    for (int i = 0; i < nMaxFrames && decoder.DecodeFrame() != 0; ++i) {
        ++result.nDecodeCalls;
    }
    return result;
}
