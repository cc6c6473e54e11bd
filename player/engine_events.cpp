// The engine events.
#include "player/engine_events.h"

#include <algorithm>
#include <mutex>
#include <vector>

#include "player/control_block.h"

namespace {

struct CListeners {
    // Held while the listeners are called, so a removal waits for a call
    // under way and none comes after it.
    std::mutex lock;
    std::vector<CEngineListener*> listeners;
};

CListeners& GetListeners() {
    static CListeners listeners;
    return listeners;
}

// Runs fnTell with the listeners inside their lock: a value it reads there is
// no older than the one an earlier call told.
template <typename Tell>
void WithListeners(Tell&& fnTell) {
    CListeners& all = GetListeners();
    std::lock_guard<std::mutex> lock(all.lock);
    fnTell(all.listeners);
}

}  // namespace

void AddEngineListener(CEngineListener* pListener) {
    WithListeners(
        [&](std::vector<CEngineListener*>& listeners) { listeners.push_back(pListener); });
}

void RemoveEngineListener(CEngineListener* pListener) {
    WithListeners(
        [&](std::vector<CEngineListener*>& listeners) { std::erase(listeners, pListener); });
}

void NotifyPlayStateChanged() {
    WithListeners([](const std::vector<CEngineListener*>& listeners) {
        const int nState = g_nPlayState.load();
        for (CEngineListener* pListener : listeners) {
            pListener->OnPlayStateChanged(nState);
        }
    });
}

void NotifyPositionChanged() {
    WithListeners([](const std::vector<CEngineListener*>& listeners) {
        // A slider action under way may leave the position outside 0..100.
        const int nPosition = std::clamp(g_nPosition.load(), 0, 100);
        for (CEngineListener* pListener : listeners) {
            pListener->OnPositionChanged(nPosition);
        }
    });
}

void NotifyDecoderChanged(bool bHasDecoder, float fPlayingTime) {
    WithListeners([&](const std::vector<CEngineListener*>& listeners) {
        for (CEngineListener* pListener : listeners) {
            pListener->OnDecoderChanged(bHasDecoder, fPlayingTime);
        }
    });
}
