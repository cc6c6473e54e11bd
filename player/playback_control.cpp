// The decode-and-play worker and the control operations that drive it.
#include "player/playback_control.h"

#include <chrono>
#include <filesystem>
#include <new>
#include <thread>

#include "decoder/audio_decoder.h"
#include "decoder/bit_stream.h"
#include "output/sound_control.h"
#include "platform/auto_reset_event.h"
#include "platform/document.h"
#include "platform/worker_thread.h"
#include "player/control_block.h"
#include "player/engine_events.h"
#include "player/message_stream.h"
#include "player/player_hooks.h"

struct CStartHandshake {
    CAutoResetEvent ready;
    CAutoResetEvent go;
};

namespace {

constexpr int kHandshakeMs = 2000;
constexpr int kStopSleeps = 10;

// The worker of the last start; touched by the interface thread only.
std::unique_ptr<CWorkerThread> g_pWorker;
// Set by the worker's wave output, read by both threads.
std::atomic<bool> g_bDeviceFailed{false};

// The name the desktop's mixer shows for the stream.
std::string StreamTitle(const std::string& strPath) {
    if (strPath == "-") {
        return "Standard input";
    }
    const std::string strName = std::filesystem::path(strPath).filename().string();
    return strName.empty() ? strPath : strName;
}

int ClampPercent(int nPosition) {
    return nPosition < 0 ? 0 : (nPosition > 100 ? 100 : nPosition);
}

void PublishDecoder(CAudioDecoder* pDecoder) {
    std::lock_guard<std::mutex> lock(g_DecoderLock);
    g_pDecoder = pDecoder;
}

// Takes the decoder out of the interface thread's reach before deleting it;
// the deletion itself (which may play out or reset the device) runs unlocked.
void RetireDecoder(CAudioDecoder* pDecoder) {
    PublishDecoder(nullptr);
    NotifyDecoderChanged(false, 0.0f);
    delete pDecoder;
}

// True while StartPlayback still waits for this start's worker.
bool IsAwaited(const CStartHandshake* pHandshake) {
    return pHandshake != nullptr && g_hReadyEvent.load() == &pHandshake->ready;
}

// Carries out a pending seek, or reports the position when it has changed.
void SeekOrReport(CAudioDecoder& decoder) {
    if (g_bSliderTracking != 0) {
        return;
    }
    // The flag is taken before the position is read, so a request made while
    // this one is carried out is kept for the next pass.
    if (g_bSeekPending.exchange(0, std::memory_order_acq_rel) != 0) {
        decoder.SeekPercent(ClampPercent(g_nPosition.load(std::memory_order_acquire)));
        return;
    }
    int nReported = g_nPosition;
    // A stop moves the state before it clears the position; looking at the
    // state after reading the position keeps a report from undoing the clear.
    if (g_nPlayState == PLAY_STOPPING) {
        return;
    }
    const int nPosition = decoder.Stream().PositionPercent();
    // A move made on the interface thread since the load wins over the report.
    if (nPosition != nReported && g_nPosition.compare_exchange_strong(nReported, nPosition)) {
        ShowPosition(nPosition);
        RepaintSlider();
    }
}

// One run through the file; false when the worker must end without a loop
// restart because the file is invalid or no decoder could be had.
bool PlayOnce(const std::string& strPath, CStartHandshake* pHandshake) {
    auto* pDecoder = new (std::nothrow)
        CAudioDecoder(strPath.c_str(), MakePlayerDecoderHooks(StreamTitle(strPath)));
    if (pDecoder == nullptr) {
        SetPlayState(PLAY_ENDED);
        if (IsAwaited(pHandshake)) {
            pHandshake->ready.Set();
        }
        return false;
    }
    PublishDecoder(pDecoder);

    if (pDecoder->Initialize() == 0) {
        RetireDecoder(pDecoder);
        // A stop that cut the search for the first frame short is no verdict
        // on the file.
        if (MovePlayState(PLAY_STOPPING, PLAY_ENDED)) {
            if (IsAwaited(pHandshake)) {
                pHandshake->ready.Set();
            }
            return false;
        }
        SetPlayState(PLAY_INVALID);
        // The interface thread goes first, so the box does not keep it waiting.
        if (IsAwaited(pHandshake)) {
            pHandshake->ready.Set();
        }
        g_MessageStream << "Invalid Audio Stream";
        ShowMessage(MSG_WARNING);
        return false;
    }

    // A position left at the end by the run before starts this one over.
    int nEnd = 100;
    g_nPosition.compare_exchange_strong(nEnd, 0);

    // The playing time is known once the first frame has been read.
    NotifyDecoderChanged(true, pDecoder->PlayingTime());

    // A loop restart, or a start whose interface thread stopped waiting, has
    // nobody to answer the handshake and goes on at once.
    if (IsAwaited(pHandshake)) {
        g_hGoEvent = &pHandshake->go;
        pHandshake->ready.Set();
        pHandshake->go.Wait(kHandshakeMs);
        g_hGoEvent = nullptr;
    }

    // Initialize has left the first frame in the buffer: a start at 0 plays
    // it as it stands, a start elsewhere moves once, pending request or not,
    // and drops that frame, which lies before the start.
    g_bSeekPending.exchange(0, std::memory_order_acq_rel);
    const int nStart = ClampPercent(g_nPosition.load(std::memory_order_acquire));
    if (nStart != 0) {
        pDecoder->SeekPercent(nStart);
        pDecoder->SkipFrame();
    }
    ShowPosition(nStart);

    for (;;) {
        CWorkerThread::SafePoint();
        SeekOrReport(*pDecoder);
        if (pDecoder->DecodeFrame() == 0 || g_nPlayState == PLAY_STOPPING || g_bDeviceFailed) {
            break;
        }
    }
    RetireDecoder(pDecoder);
    g_nPosition = 0;
    return true;
}

bool IsPlaying(int nState) {
    return nState == PLAY_STARTED || nState == PLAY_RESUMED;
}

}  // namespace

bool RetireWorker(int nTimeoutMs) {
    if (g_pWorker == nullptr) {
        return true;
    }
    g_pWorker->Release();
    if (!g_pWorker->WaitForEnd(nTimeoutMs)) {
        return false;
    }
    g_pPlayThread = nullptr;
    g_pWorker.reset();
    return true;
}

unsigned PlayThreadProc(const std::string& strPath, std::shared_ptr<CStartHandshake> pHandshake) {
    while (PlayOnce(strPath, pHandshake.get())) {
        // Stop clears the loop flag after it sets the state, so both are
        // looked at.
        if (g_bLoopPlay == 0 || g_nPlayState == PLAY_STOPPING || g_bDeviceFailed) {
            SetPlayState(PLAY_ENDED);
            break;
        }
        pHandshake.reset();
    }
    return 0;
}

void NoteDeviceFailure() {
    g_bDeviceFailed = true;
}

bool HasPlaybackFailed() {
    return g_bDeviceFailed;
}

bool IsWorkerRunning() {
    return g_pWorker != nullptr && !g_pWorker->HasEnded();
}

void StartPlayback(CDocument& document) {
    // Two workers would overwrite each other's decoder: the previous one,
    // already told to stop, gets as long as a start may take to end.
    if (!RetireWorker(kWorkerEndMs)) {
        return;
    }
    g_bDeviceFailed = false;
    SetPlayState(PLAY_STARTED);
    auto pHandshake = std::make_shared<CStartHandshake>();
    g_hReadyEvent = &pHandshake->ready;
    g_pWorker = std::make_unique<CWorkerThread>(
        [strPath = document.GetPathName(), pHandshake] { PlayThreadProc(strPath, pHandshake); });
    g_pPlayThread = g_pWorker.get();

    if (pHandshake->ready.Wait(kHandshakeMs) && g_hGoEvent.load() != nullptr) {
        if (g_pDecoder.load() != nullptr) {
            document.UpdateAllViews();
        }
        pHandshake->go.Set();
    }
    g_hReadyEvent = nullptr;
}

void PausePlayback() {
    if (g_pWorker == nullptr) {
        return;
    }
    g_pWorker->Hold();
    if (MovePlayState(PLAY_STARTED, PLAY_PAUSED) || MovePlayState(PLAY_RESUMED, PLAY_PAUSED)) {
        g_bLoopPlay = 0;
        // The worker stands still at its next safe point; the sound stops now.
        CSoundControl::Pause();
        g_pWorker->Interrupt();
    } else {
        g_pWorker->Release();
    }
}

void ResumePlayback() {
    CSoundControl::Resume();
    if (g_pWorker != nullptr) {
        g_pWorker->Release();
    }
    MovePlayState(PLAY_PAUSED, PLAY_RESUMED);
}

void StopPlayback() {
    g_nPosition = 0;
    if (g_nPlayState == PLAY_ENDED) {
        return;
    }
    // A paused worker is let go only once the stop is in place.
    const bool bWasHeld = g_nPlayState == PLAY_PAUSED && g_pWorker != nullptr &&
                          MovePlayState(PLAY_PAUSED, PLAY_RESUMED);
    const int nState = g_nPlayState;
    const bool bStopping = IsPlaying(nState) && MovePlayState(nState, PLAY_STOPPING);
    if (bWasHeld) {
        g_pWorker->Release();
    }
    if (bStopping) {
        g_nPosition = 0;
        g_bLoopPlay = 0;
        // The wave output looks for the stop between its sleeps; waking
        // it lets the worker end within the short wait below.
        if (g_pWorker != nullptr) {
            g_pWorker->Interrupt();
        }
        for (int i = 0; i < kStopSleeps; ++i) {
            if (g_pDecoder.load() == nullptr || g_nPlayState == PLAY_ENDED) {
                break;
            }
            std::this_thread::sleep_for(std::chrono::milliseconds(1));
        }
    }
}

void MovePosition(int nDelta) {
    const int nPosition = ClampPercent(g_nPosition + nDelta);
    g_nPosition.store(nPosition, std::memory_order_release);
    ShowPosition(nPosition);
    g_bSeekPending.store(1, std::memory_order_release);
    // A worker waiting for the device wakes to drop what it queued.
    if (g_pWorker != nullptr) {
        g_pWorker->Interrupt();
    }
}

void ShutdownPlayback() {
    if (g_pWorker == nullptr) {
        return;
    }
    g_bLoopPlay = 0;
    g_pWorker->Release();
    const int nState = g_nPlayState;
    if (IsPlaying(nState) || nState == PLAY_PAUSED) {
        MovePlayState(nState, PLAY_STOPPING);
    }
    g_pWorker->Interrupt();
    g_pWorker->Join();
    g_pPlayThread = nullptr;
    g_pWorker.reset();
}
