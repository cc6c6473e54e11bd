// Decodes a stream frame by frame through the installed C++ interface and
// compares it with its reference PCM within 1 LSB: check IN.bit IN.pcm.
#include <corvina/frame_decoder.h>

#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <iterator>
#include <vector>

int main(int argc, char** argv) {
    if (argc != 3) {
        return 1;
    }
    std::ifstream in(argv[1], std::ios::binary), ref(argv[2], std::ios::binary);
    const std::vector<uint8_t> bytes{std::istreambuf_iterator<char>(in), {}};
    const std::vector<uint8_t> reference{std::istreambuf_iterator<char>(ref), {}};
    corvina::CFrameDecoder decoder;
    std::vector<int16_t> pcm(corvina::kMaxFrameSamples);
    std::size_t nAt = 0, nSamples = 0;
    int nWorst = 0;
    for (;;) {
        corvina::CFrameInfo info;
        const auto result = decoder.DecodeFrame(std::span(bytes).subspan(nAt), pcm, info);
        if (result == corvina::EFrameResult::NeedMoreBytes) {
            break;
        }
        nAt += info.nBytes;
        for (int i = 0; i < info.nSamples * info.nChannels; ++i, ++nSamples) {
            if (2 * nSamples + 1 >= reference.size()) {
                return 1;
            }
            const auto nExpected =
                static_cast<int16_t>(reference[2 * nSamples] | (reference[2 * nSamples + 1] << 8));
            nWorst = std::max(nWorst, std::abs(pcm[static_cast<std::size_t>(i)] - nExpected));
        }
    }
    std::printf("C++: %zu samples, worst difference %d\n", nSamples, nWorst);
    return nSamples > 0 && nWorst <= 1 ? 0 : 1;
}
