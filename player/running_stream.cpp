// Reads of the running decoder from the interface thread.
#include "player/running_stream.h"

#include <atomic>
#include <string>

#include "decoder/audio_decoder.h"
#include "player/control_block.h"
#include "player/engine_events.h"
#include "player/message_stream.h"

using namespace corvina;

namespace {

// The worker announces a decoder only once it has read the first frame, and
// takes the announcement back before it deletes it.
class CDecoderWatch : public CEngineListener {
  public:
    CDecoderWatch() { AddEngineListener(this); }
    ~CDecoderWatch() override { RemoveEngineListener(this); }
    void OnDecoderChanged(bool bHasDecoder, float /*fPlayingTime*/) override {
        m_bReady.store(bHasDecoder);
    }
    bool IsReady() const { return m_bReady.load(); }

  private:
    std::atomic<bool> m_bReady{false};
};

CDecoderWatch g_decoderWatch;

}  // namespace

bool GetRunningPlayingTime(float& fSeconds) {
    std::lock_guard<std::mutex> lock(g_DecoderLock);
    const CAudioDecoder* pDecoder = g_pDecoder.load();
    if (pDecoder == nullptr) {
        return false;
    }
    fSeconds = pDecoder->PlayingTime();
    return true;
}

bool GetRunningTracks(std::vector<CAudioTrack>& tracks) {
    std::lock_guard<std::mutex> lock(g_DecoderLock);
    const CAudioDecoder* pDecoder = g_pDecoder.load();
    if (pDecoder == nullptr || pDecoder->Stream().Source() == nullptr) {
        return false;
    }
    tracks = pDecoder->Stream().Source()->AudioTracks();
    return true;
}

bool IsRunningStreamReady() {
    return g_decoderWatch.IsReady() && g_pDecoder.load() != nullptr;
}

bool IsRunningStreamSeekable() {
    return g_bSeekable.load() != 0;
}

bool IsRunningStreamDualChannel() {
    return IsRunningStreamReady() && g_bDualChannelStream.load() != 0;
}

bool ShowRunningStreamInfo() {
    std::string strText;
    {
        std::lock_guard<std::mutex> lock(g_DecoderLock);
        const CAudioDecoder* pDecoder = g_pDecoder.load();
        if (pDecoder == nullptr || !g_decoderWatch.IsReady()) {
            return false;
        }
        strText = WithTrackTags(pDecoder->FormatStreamInfo(), pDecoder->TrackInfo());
    }
    // The box opens with the lock released, so the worker is never kept
    // from ending while the user reads it.
    g_MessageStream << strText;
    ShowMessage(MSG_INFORMATION);
    return true;
}
