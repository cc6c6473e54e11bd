// Decodes a stream through the installed stream handle and compares it with
// its reference PCM within 1 LSB, then moves back and reads the same
// samples again: check_stream IN.bit IN.pcm.
#include <corvina/stream.h>

#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <iterator>
#include <vector>

namespace {

std::vector<int16_t> ReadToEnd(corvina::CStream& stream, corvina::EStreamResult& eEnd) {
    std::vector<int16_t> samples;
    int16_t pcm[3000];
    std::size_t nRead = 0;
    while ((eEnd = stream.Read(pcm, nRead)) == corvina::EStreamResult::Ok ||
           eEnd == corvina::EStreamResult::NewFormat) {
        samples.insert(samples.end(), pcm, pcm + nRead);
    }
    return samples;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc != 3) {
        return 1;
    }
    std::ifstream ref(argv[2], std::ios::binary);
    const std::vector<uint8_t> reference{std::istreambuf_iterator<char>(ref), {}};
    corvina::CStream stream;
    int nWarnings = 0;
    stream.SetWarningHandler([&nWarnings](corvina::EDecoderWarning, const std::string& strText) {
        std::fprintf(stderr, "warning: %s\n", strText.c_str());
        ++nWarnings;
    });
    if (stream.OpenFile(argv[1]) != corvina::EStreamResult::Ok) {
        return 1;
    }
    corvina::EStreamResult eEnd{};
    const std::vector<int16_t> samples = ReadToEnd(stream, eEnd);
    corvina::CPcmFormat format;
    if (eEnd != corvina::EStreamResult::Done ||
        stream.Format(format) != corvina::EStreamResult::Ok ||
        samples.size() * 2 > reference.size() ||
        static_cast<int64_t>(samples.size()) != stream.Length() * format.nChannels) {
        return 1;
    }
    int nWorst = 0;
    for (std::size_t i = 0; i < samples.size(); ++i) {
        const auto nExpected = static_cast<int16_t>(reference[2 * i] | (reference[2 * i + 1] << 8));
        nWorst = std::max(nWorst, std::abs(samples[i] - nExpected));
    }
    const int64_t nMiddle = stream.Length() / 2;
    const bool bSeeks =
        stream.Seek(nMiddle) == corvina::EStreamResult::Ok &&
        ReadToEnd(stream, eEnd) ==
            std::vector<int16_t>(samples.begin() + nMiddle * format.nChannels, samples.end());
    std::printf("CStream: %zu samples at %ld Hz, worst difference %d, seek %s\n", samples.size(),
                format.nRate, nWorst, bSeeks ? "exact" : "wrong");
    return !samples.empty() && nWorst <= 1 && bSeeks && nWarnings == 0 ? 0 : 1;
}
