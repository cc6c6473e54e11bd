// The walk made when a file is opened.
#include "player/file_length.h"

#include <chrono>
#include <filesystem>
#include <memory>
#include <system_error>

#include "decoder/audio_decoder.h"
#include "output/discard_sink.h"

using namespace corvina;

namespace {

// What an open may spend on the walk, on the interface thread: a few
// megabytes from the cache take a few milliseconds.
constexpr int64_t kOpenWalkBudget = int64_t{4} << 20;
constexpr auto kOpenWalkTime = std::chrono::milliseconds(25);

}  // namespace

float MeasureFileLength(const std::string& strPath, std::vector<CAudioTrack>& tracks) {
    tracks.clear();
    std::error_code error;
    if (strPath.empty() || !std::filesystem::is_regular_file(strPath, error)) {
        return 0.0f;
    }
    const auto deadline = std::chrono::steady_clock::now() + kOpenWalkTime;
    CAudioDecoder::CHooks hooks;
    hooks.fnStopRequested = [deadline] { return std::chrono::steady_clock::now() > deadline; };
    // Nothing is heard: the first frame is read, not decoded.
    hooks.fnMakeSink = [](const CStreamFormat&) {
        return std::unique_ptr<CAudioSink>(std::make_unique<CDiscardSink>());
    };
    CAudioDecoder decoder(strPath.c_str(), std::move(hooks), kOpenWalkBudget);
    const bool bOpened = decoder.Initialize() != 0;
    if (const CByteSource* pSource = decoder.Stream().Source(); pSource != nullptr) {
        tracks = pSource->AudioTracks();
    }
    return bOpened ? decoder.PlayingTime() : 0.0f;
}
