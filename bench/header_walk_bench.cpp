// Times the walk over a stream's frame headers that gives its exact playing
// time and seek table: opens FILE through the library's stream handle, which
// walks it before the open returns, and prints the samples found, the
// playing time and the wall time the open took; then, as the player does,
// the time a decoder takes to its first frame (its walk going on in the
// background) and until that walk has come in. The handle takes a walk in
// the background only as it decodes, so that part goes through the decoder.
//   header_walk_bench FILE
#include <corvina/stream.h>

#include <chrono>
#include <cstdio>
#include <filesystem>

#include "decoder/audio_decoder.h"

using namespace corvina;

namespace {

class CDiscardingSink : public CAudioSink {
  public:
    void WriteFrame(std::span<const int16_t>, int) override {}
    int32_t EndFrame() override { return 1; }
};

double SecondsSince(std::chrono::steady_clock::time_point start) {
    return std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
}

// Reads until the first samples are in; the rate of the stream, 0 where
// none come.
long ReadFirstSamples(CStream& stream) {
    int16_t pcm[4096];
    std::size_t nRead = 0;
    for (;;) {
        const EStreamResult eResult = stream.Read(pcm, nRead);
        if (eResult == EStreamResult::Ok && nRead > 0) {
            CPcmFormat format;
            return stream.Format(format) == EStreamResult::Ok ? format.nRate : 0;
        }
        if (eResult != EStreamResult::Ok && eResult != EStreamResult::NewFormat) {
            return 0;
        }
    }
}

}  // namespace

int main(int argc, char** argv) {
    if (argc != 2) {
        std::fprintf(stderr, "usage: header_walk_bench FILE\n");
        return 2;
    }
    std::error_code error;
    const auto nBytes = static_cast<long long>(std::filesystem::file_size(argv[1], error));
    const auto start = std::chrono::steady_clock::now();
    CStream walked;
    if (walked.OpenFile(argv[1]) != EStreamResult::Ok || walked.Length() < 0) {
        std::fprintf(stderr, "header_walk_bench: cannot walk %s\n", argv[1]);
        return 1;
    }
    const double dWalk = SecondsSince(start);
    const int64_t nSamples = walked.Length();
    const long nRate = ReadFirstSamples(walked);
    std::printf("%lld bytes, %lld samples, %.1f s of audio, walked in %.3f s (%.0f MB/s)\n", nBytes,
                static_cast<long long>(nSamples),
                nRate > 0 ? static_cast<double>(nSamples) / static_cast<double>(nRate) : 0.0, dWalk,
                static_cast<double>(nBytes) / 1e6 / dWalk);

    const auto open = std::chrono::steady_clock::now();
    CAudioDecoder decoder(argv[1], {{}, {}, [](const CStreamFormat&) {
                                        return std::unique_ptr<CAudioSink>(new CDiscardingSink);
                                    }});
    if (decoder.Initialize() == 0 || decoder.DecodeFrame() == 0) {
        std::fprintf(stderr, "header_walk_bench: cannot decode %s\n", argv[1]);
        return 1;
    }
    const double dFirst = SecondsSince(open);
    decoder.AwaitWalk();
    std::printf("decoder: first frame after %.3f s, whole walk in after %.3f s (%.1f s of audio)\n",
                dFirst, SecondsSince(open), decoder.PlayingTime());
    return 0;
}
