// The decoder's hooks for playback.
#include "player/player_hooks.h"

#include <atomic>
#include <mutex>
#include <new>

#include "output/wave_output.h"
#include "player/control_block.h"
#include "player/engine_events.h"
#include "player/message_stream.h"
#include "player/playback_control.h"

using namespace corvina;

void ShowWarningText(const std::string& strText) {
    g_MessageStream << strText;
    ShowMessage(MSG_WARNING);
}

void ShowInvalidStream(const std::string& strReason) {
    g_MessageStream << kInvalidStreamText;
    if (!strReason.empty()) {
        g_MessageStream << "\n" << strReason;
    }
    ShowMessage(MSG_WARNING);
}

namespace {

std::mutex g_trackLock;
CTrackChoice g_trackChoice;
std::atomic<int> g_bInterrupted{0};
static_assert(std::atomic<int>::is_always_lock_free, "stored from a signal handler");

}  // namespace

void SetPlayerTrackChoice(const CTrackChoice& choice) {
    std::lock_guard lock(g_trackLock);
    g_trackChoice = choice;
}

CTrackChoice GetPlayerTrackChoice() {
    std::lock_guard lock(g_trackLock);
    return g_trackChoice;
}

bool IsPlaybackStopping() {
    return g_nPlayState.load(std::memory_order_relaxed) == PLAY_STOPPING ||
           g_bInterrupted.load(std::memory_order_relaxed) != 0;
}

void InterruptPlayback() {
    g_bInterrupted.store(1, std::memory_order_relaxed);
}

bool IsPlaybackInterrupted() {
    return g_bInterrupted.load(std::memory_order_relaxed) != 0;
}

CAudioDecoder::CHooks MakePlayerDecoderHooks(const std::string& strTitle) {
    CAudioDecoder::CHooks hooks;
    hooks.fnStopRequested = IsPlaybackStopping;
    hooks.fnReportWarning = ShowWarningText;
    hooks.track = GetPlayerTrackChoice();
    // The walk over a long file has come in: the front ends take the new
    // length as they took the first, and moves go by it.
    hooks.fnPlayingTimeChanged = [](float fPlayingTime) {
        g_bSeekable = 1;
        NotifyDecoderChanged(true, fPlayingTime);
    };
    // A broadcast's new programme reaches the front ends as new tags.
    hooks.fnTrackInfoChanged = [](const CTrackInfo& info) {
        NotifyTrackInfoChanged(std::make_shared<const CTrackInfo>(info));
    };
    hooks.live.fnTitleChanged = NotifyLiveTitleChanged;
    hooks.live.fnStateChanged = NotifyLiveStateChanged;
    CWaveOutputLinks links;
    links.strTitle = strTitle;
    // A seek waiting for the worker makes what is queued worthless.
    links.fnDropRequested = [] {
        return g_bSeekPending.load(std::memory_order_acquire) != 0 && g_bSliderTracking == 0;
    };
    links.fnDeviceFailed = NoteDeviceFailure;
    // Smooth playback as it is when the stream starts: the output keeps it.
    hooks.fnMakeSink = [links](const CStreamFormat& format) {
        return std::unique_ptr<CAudioSink>(new (std::nothrow) CWaveOutput(
            format, g_bSmoothPlay.load() != 0, IsPlaybackStopping, ShowWarningText, links));
    };
    return hooks;
}
