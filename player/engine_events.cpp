// The engine events.
#include "player/engine_events.h"

#include <algorithm>
#include <mutex>
#include <vector>

#include "player/control_block.h"

using namespace corvina;

namespace {

struct CListeners {
    // Held while the listeners are called, so a removal waits for a call
    // under way and none comes after it.
    std::mutex lock;
    std::vector<CEngineListener*> listeners;
    CHeardTime heard;
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

// Stores and tells a heard time; the play state is read inside the lock, so
// a report from the worker that comes after a pause does not set it moving.
// With bRenew the last heard time, carried on to the moment at, is told again.
void TellHeardTime(double dSeconds, double dLimit, CHeardTime::CClock::time_point at, bool bRenew) {
    CListeners& all = GetListeners();
    std::lock_guard<std::mutex> lock(all.lock);
    if (bRenew) {
        dSeconds = all.heard.At(at);
        dLimit = all.heard.dLimit;
    }
    const int nState = g_nPlayState.load();
    all.heard.dSeconds = dSeconds;
    all.heard.dLimit = std::max(dSeconds, dLimit);
    all.heard.at = at;
    all.heard.bMoving = nState == PLAY_STARTED || nState == PLAY_RESUMED;
    for (CEngineListener* pListener : all.listeners) {
        pListener->OnHeardTimeChanged(all.heard);
    }
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

void NotifyTrackInfoChanged(std::shared_ptr<const CTrackInfo> pInfo) {
    WithListeners([&](const std::vector<CEngineListener*>& listeners) {
        for (CEngineListener* pListener : listeners) {
            pListener->OnTrackInfoChanged(pInfo);
        }
    });
}

double CHeardTime::At(CClock::time_point now) const {
    if (!bMoving || now <= at) {
        return dSeconds;
    }
    return std::min(dLimit, dSeconds + std::chrono::duration<double>(now - at).count());
}

void NotifyHeardTime(double dSeconds, double dLimit) {
    TellHeardTime(dSeconds, dLimit, CHeardTime::CClock::now(), false);
}

void RenewHeardTime() {
    TellHeardTime(0.0, 0.0, CHeardTime::CClock::now(), true);
}

CHeardTime GetHeardTime() {
    CListeners& all = GetListeners();
    std::lock_guard<std::mutex> lock(all.lock);
    return all.heard;
}

namespace {

struct CLiveStatus {
    std::mutex lock;
    std::string strTitle;
    ELiveState eState = ELiveState::Playing;
};

CLiveStatus& GetLiveStatus() {
    static CLiveStatus status;
    return status;
}

}  // namespace

void NotifyLiveTitleChanged(const std::string& strTitle) {
    {
        CLiveStatus& status = GetLiveStatus();
        std::lock_guard<std::mutex> lock(status.lock);
        status.strTitle = strTitle;
    }
    WithListeners([&](const std::vector<CEngineListener*>& listeners) {
        for (CEngineListener* pListener : listeners) {
            pListener->OnLiveTitleChanged(strTitle);
        }
    });
}

void NotifyLiveStateChanged(ELiveState eState) {
    {
        CLiveStatus& status = GetLiveStatus();
        std::lock_guard<std::mutex> lock(status.lock);
        status.eState = eState;
    }
    WithListeners([&](const std::vector<CEngineListener*>& listeners) {
        for (CEngineListener* pListener : listeners) {
            pListener->OnLiveStateChanged(eState);
        }
    });
}

std::string GetLiveTitle() {
    CLiveStatus& status = GetLiveStatus();
    std::lock_guard<std::mutex> lock(status.lock);
    return status.strTitle;
}

ELiveState GetLiveState() {
    CLiveStatus& status = GetLiveStatus();
    std::lock_guard<std::mutex> lock(status.lock);
    return status.eState;
}
