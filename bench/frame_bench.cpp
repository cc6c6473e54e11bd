// Decoding one frame, Layer I and Layer II, two channels and one, through the
// library's frame decoder, from frames in memory made by the test stream
// builder into a buffer of the bench's.
#include <benchmark/benchmark.h>
#include <corvina/frame_decoder.h>

#include <span>
#include <string>
#include <vector>

#include "tests/support/stream_builder.h"

using namespace corvina;

namespace {

constexpr int kFrames = 500;

// Allocations that fill a frame the way an encoder does: more bits for the
// low subbands, none for the top ones.
CFrameShape MusicLikeFrame(int nLayer, int nMode) {
    CFrameShape shape;
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

// range(0): layer; range(1): mode (0 stereo, 3 single channel). The stream
// is decoded round and round: its first frame goes on from its last.
void BM_DecodeFrame(benchmark::State& state) {
    const CFrameShape shape =
        MusicLikeFrame(static_cast<int>(state.range(0)), static_cast<int>(state.range(1)));
    const std::vector<uint8_t> bytes = BuildStream(shape, kFrames);
    CFrameDecoder decoder;
    std::vector<int16_t> pcm(kMaxFrameSamples);
    CFrameInfo info;
    std::span<const uint8_t> rest(bytes);
    for (auto _ : state) {
        if (DecodeFrame(decoder, rest, pcm, info) != EFrameResult::Decoded) {
            state.SkipWithError("the test stream cannot be decoded");
            return;
        }
        benchmark::DoNotOptimize(pcm.data());
        rest = rest.subspan(info.nBytes);
        if (rest.empty()) {
            rest = bytes;
        }
    }
    state.SetItemsProcessed(state.iterations());
    state.SetLabel(std::string(shape.nLayer == 1 ? "Layer I" : "Layer II") +
                   (shape.nMode == 3 ? " single channel" : " stereo"));
}
BENCHMARK(BM_DecodeFrame)->Args({1, 0})->Args({1, 3})->Args({2, 0})->Args({2, 3});

}  // namespace
