// Times the walk over a stream's frame headers that gives its exact playing
// time and seek table: opens FILE, walks it once and prints the frames found,
// the playing time and the wall time the walk took; then the time a decoder
// takes to its first frame (its walk going on in the background) and until
// that walk has come in.
//   header_walk_bench FILE
#include <chrono>
#include <cstdio>

#include "decoder/audio_decoder.h"
#include "decoder/bit_stream.h"
#include "decoder/frame_index.h"

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

}  // namespace

int main(int argc, char** argv) {
    if (argc != 2) {
        std::fprintf(stderr, "usage: header_walk_bench FILE\n");
        return 2;
    }
    const auto start = std::chrono::steady_clock::now();
    CBitStream stream = OpenBitStream(argv[1]);
    CFrameIndex index;
    if (!stream.IsOpen() || !index.Build(stream, {})) {
        std::fprintf(stderr, "header_walk_bench: cannot walk %s\n", argv[1]);
        return 1;
    }
    const std::chrono::duration<double> elapsed = std::chrono::steady_clock::now() - start;
    std::printf(
        "%lld bytes, %lld frames, %.1f s of audio, walked in %.3f s (%.0f MB/s)\n",
        static_cast<long long>(stream.Length()), static_cast<long long>(index.Frames()),
        index.SampleRate() > 0 ? static_cast<double>(index.Samples()) / index.SampleRate() : 0.0,
        elapsed.count(), static_cast<double>(stream.Length()) / 1e6 / elapsed.count());

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
