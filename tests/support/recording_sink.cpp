// Decoding a stream into memory for the tests.
#include "tests/support/recording_sink.h"

#include <memory>
#include <utility>

#include "decoder/memory_source.h"

using namespace corvina;

namespace {

// Takes the decoder's source arguments ahead of its hooks.
template <typename... TSource>
CDecodeResult DecodeWith(WarningReporter fnReport, int nMaxFrames, const CDecodeChoices& choices,
                         TSource&&... source) {
    CDecodeResult result;
    CAudioDecoder::CHooks hooks;
    hooks.fnReportWarning = std::move(fnReport);
    hooks.fnMakeSink = RecordingSinkFactory(result);
    CAudioDecoder decoder(std::forward<TSource>(source)..., std::move(hooks));
    decoder.SetChoices(choices);
    result.nInitialized = decoder.Initialize();
    if (result.nInitialized == 0) {
        return result;
    }
    for (int i = 0; i < nMaxFrames && decoder.DecodeFrame() != 0; ++i) {
        ++result.nDecodeCalls;
    }
    return result;
}

}  // namespace

CAudioDecoder::SinkFactory RecordingSinkFactory(CRecording& recording) {
    return [&recording](const CStreamFormat& format) {
        recording.nChannels = format.nChannels;
        return std::unique_ptr<CAudioSink>(std::make_unique<CRecordingSink>(recording));
    };
}

CDecodeResult DecodeBytes(std::vector<uint8_t> bytes, WarningReporter fnReport, int nMaxFrames,
                          const CDecodeChoices& choices) {
    return DecodeWith(std::move(fnReport), nMaxFrames, choices,
                      std::make_unique<CMemorySource>(std::move(bytes)), std::string("memory"));
}

CDecodeResult DecodeFile(const std::string& strPath, WarningReporter fnReport, int nMaxFrames,
                         const CDecodeChoices& choices) {
    return DecodeWith(std::move(fnReport), nMaxFrames, choices, strPath.c_str());
}
