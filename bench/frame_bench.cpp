// Decoding one frame, Layer I and Layer II, two channels and one, from a file
// of frames made by the test stream builder, into a sink that keeps nothing.
#include <benchmark/benchmark.h>
#include <unistd.h>

#include <cstdio>
#include <memory>
#include <string>

#include "decoder/audio_decoder.h"
#include "output/discard_sink.h"
#include "tests/support/stream_builder.h"

namespace {

constexpr int kFrames = 500;

// Allocations that fill a frame the way an encoder does: more bits for the
// low subbands, none for the top ones.
CFrameSpec MusicLikeFrame(int nLayer, int nMode) {
    CFrameSpec shape;
    shape.nLayer = nLayer;
    shape.nMode = nMode;
    shape.nBitrateIndex = nLayer == 1 ? 12 : nMode == 3 ? 8 : 11;  // 384, 128 or 192 kbit/s
    for (int ch = 0; ch < 2; ++ch) {
        for (int sb = 0; sb < 32; ++sb) {
            const int nAllocation = nLayer == 1 ? (sb < 28 ? 4 - sb / 8 : 0) : (sb < 24 ? 3 : 1);
            shape.nAllocation[ch][sb] = nAllocation;
            for (int i = 0; i < 3; ++i) {
                shape.nScalefactor[ch][sb][i] = 8 + sb / 2 + i;
            }
            shape.dwSampleCode[ch][sb] = static_cast<uint32_t>(1 + (sb * 5 + ch) % 3);
        }
    }
    return shape;
}

class CStreamFile {
  public:
    explicit CStreamFile(const std::vector<uint8_t>& bytes) {
        char szPath[] = "/tmp/corvina-bench-XXXXXX";
        const int nFile = mkstemp(szPath);
        if (nFile >= 0) {
            m_strPath = szPath;
            const ssize_t nWritten = write(nFile, bytes.data(), bytes.size());
            m_bGood = nWritten == static_cast<ssize_t>(bytes.size());
            close(nFile);
        }
    }
    ~CStreamFile() {
        if (!m_strPath.empty()) {
            std::remove(m_strPath.c_str());
        }
    }
    CStreamFile(const CStreamFile&) = delete;
    CStreamFile& operator=(const CStreamFile&) = delete;
    bool Good() const { return m_bGood; }
    const std::string& Path() const { return m_strPath; }

  private:
    std::string m_strPath;
    bool m_bGood = false;
};

std::unique_ptr<CAudioDecoder> StartDecoder(const std::string& strPath) {
    auto pDecoder = std::make_unique<CAudioDecoder>(
        strPath.c_str(),
        [](int16_t, const CFrameHeader&) { return std::make_unique<CDiscardSink>(); });
    if (pDecoder->Initialize() == 0) {
        return nullptr;
    }
    return pDecoder;
}

// range(0): layer; range(1): mode (0 stereo, 3 single channel).
void BM_DecodeFrame(benchmark::State& state) {
    const CFrameSpec shape =
        MusicLikeFrame(static_cast<int>(state.range(0)), static_cast<int>(state.range(1)));
    const CStreamFile file(BuildStream(shape, kFrames));
    std::unique_ptr<CAudioDecoder> pDecoder = file.Good() ? StartDecoder(file.Path()) : nullptr;
    if (pDecoder == nullptr) {
        state.SkipWithError("the test stream cannot be decoded");
        return;
    }
    for (auto _ : state) {
        if (pDecoder->DecodeFrame() == 0) {
            state.PauseTiming();
            pDecoder = StartDecoder(file.Path());
            state.ResumeTiming();
        }
    }
    state.SetItemsProcessed(state.iterations());
    state.SetLabel(std::string(shape.nLayer == 1 ? "Layer I" : "Layer II") +
                   (shape.nMode == 3 ? " single channel" : " stereo"));
}
BENCHMARK(BM_DecodeFrame)->Args({1, 0})->Args({1, 3})->Args({2, 0})->Args({2, 3});

}  // namespace
