// The playback control block.
#include "player/control_block.h"

#include "platform/slider.h"
#include "player/engine_events.h"

using namespace corvina;

std::atomic<int> g_nPlayState{PLAY_IDLE};
std::atomic<CAudioDecoder*> g_pDecoder{nullptr};
std::atomic<CWorkerThread*> g_pPlayThread{nullptr};
std::atomic<int> g_nPosition{0};
std::atomic<int> g_bSeekPending{0};
std::atomic<double> g_dSeekSeconds{-1.0};
std::atomic<int> g_bDeviceFailed{0};
std::atomic<int> g_bSliderTracking{0};
std::atomic<int> g_bLoopPlay{0};
std::atomic<int> g_bSmoothPlay{0};
std::atomic<int> g_bConcealFrames{1};
std::atomic<int> g_nDualChannel{0};
std::atomic<int> g_bDualChannelStream{0};
std::atomic<int> g_bSeekable{1};
std::atomic<CSlider*> g_hTrackbar{nullptr};
std::atomic<CAutoResetEvent*> g_hReadyEvent{nullptr};
std::atomic<CAutoResetEvent*> g_hGoEvent{nullptr};
std::mutex g_DecoderLock;

namespace {

std::mutex g_sliderLock;

}  // namespace

void SetSliderPosition(int nPosition) {
    std::lock_guard<std::mutex> lock(g_sliderLock);
    if (CSlider* pSlider = g_hTrackbar.load()) {
        pSlider->SetPosition(nPosition);
    }
}

void RepaintSlider() {
    std::lock_guard<std::mutex> lock(g_sliderLock);
    if (CSlider* pSlider = g_hTrackbar.load()) {
        pSlider->Repaint();
    }
}

void AttachSlider(CSlider* pSlider) {
    std::lock_guard<std::mutex> lock(g_sliderLock);
    g_hTrackbar.store(pSlider);
}

void DetachSlider(CSlider* pSlider) {
    std::lock_guard<std::mutex> lock(g_sliderLock);
    if (g_hTrackbar.load() == pSlider) {
        g_hTrackbar.store(nullptr);
    }
}

void SetPlayState(int nState) {
    g_nPlayState = nState;
    NotifyPlayStateChanged();
}

bool MovePlayState(int nFrom, int nTo) {
    if (!g_nPlayState.compare_exchange_strong(nFrom, nTo)) {
        return false;
    }
    NotifyPlayStateChanged();
    return true;
}

void ShowPosition(int nPosition) {
    SetSliderPosition(nPosition);
    NotifyPositionChanged();
}

void ResetControlBlock() {
    g_nPlayState = PLAY_IDLE;
    g_pDecoder = nullptr;
    g_pPlayThread = nullptr;
    g_nPosition = 0;
    g_bSeekPending = 0;
    g_dSeekSeconds = -1.0;
    g_bDeviceFailed = 0;
    g_bSliderTracking = 0;
    g_bLoopPlay = 0;
    g_bSmoothPlay = 0;
    g_bConcealFrames = 1;
    g_nDualChannel = 0;
    g_bDualChannelStream = 0;
    g_bSeekable = 1;
    g_hTrackbar = nullptr;
    g_hReadyEvent = nullptr;
    g_hGoEvent = nullptr;
}
