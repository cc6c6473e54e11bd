// Writes a Layer I stream of the project's own for the whole-program
// comparison (no encoder in the distribution makes Layer I): stereo, 44.1 kHz,
// 384 kbit/s, with tones in every coded subband that change from frame to
// frame. Usage: make_layer1_stream OUT SECONDS
#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <numbers>
#include <vector>

#include "tests/support/stream_builder.h"

namespace {

constexpr int kSampleRate = 44100;
constexpr int kBitrate = 384000;

// The code of an nBits-bit sample for a value in -1..1; all ones is not a code.
uint32_t SampleCode(double dValue, int nBits) {
    const double dLevels = std::ldexp(1.0, nBits) - 1.0;
    const long nCode = std::lround((dValue * dLevels + dLevels - 1.0) / 2.0);
    return static_cast<uint32_t>(std::clamp<long>(nCode, 0, static_cast<long>(dLevels) - 1));
}

}  // namespace

int main(int argc, char** argv) {
    if (argc != 3 || std::atoi(argv[2]) <= 0) {
        std::fprintf(stderr, "usage: make_layer1_stream OUT SECONDS\n");
        return 2;
    }
    const int nFrames = std::atoi(argv[2]) * kSampleRate / 384;
    CFrameShape shape;
    shape.nLayer = 1;
    shape.nBitrateIndex = 12;
    shape.nFrequencyIndex = 0;
    std::vector<uint8_t> bytes;
    // Padding slots as an encoder adds them, to keep the bitrate exact.
    long nRest = 0;
    for (int nFrame = 0; nFrame < nFrames; ++nFrame) {
        nRest += 12L * kBitrate;
        const long nSlots = nRest / kSampleRate;
        nRest -= nSlots * kSampleRate;
        shape.nPadding = nSlots > 12L * kBitrate / kSampleRate ? 1 : 0;
        for (int ch = 0; ch < 2; ++ch) {
            for (int sb = 0; sb < 32; ++sb) {
                const int nAllocation = sb < 28 ? 4 - sb / 8 : 0;
                shape.nAllocation[ch][sb] = nAllocation;
                shape.nScalefactor[ch][sb][0] = 9 + sb / 2;
                const double dPhase = 2.0 * std::numbers::pi * nFrame * (sb + 1 + ch) / 97.0;
                shape.dwSampleCode[ch][sb] = SampleCode(0.9 * std::sin(dPhase), nAllocation + 1);
            }
        }
        Append(bytes, BuildFrame(shape));
    }
    std::FILE* pFile = std::fopen(argv[1], "wb");
    if (pFile == nullptr || std::fwrite(bytes.data(), 1, bytes.size(), pFile) != bytes.size() ||
        std::fclose(pFile) != 0) {
        std::perror(argv[1]);
        return 1;
    }
    return 0;
}
