// The decode-and-play worker and the control operations that drive it.
#include "player/playback_control.h"

#include <chrono>
#include <cmath>
#include <deque>
#include <filesystem>
#include <memory>
#include <new>
#include <thread>

#include "decoder/audio_decoder.h"
#include "decoder/bit_stream.h"
#include "output/sound_control.h"
#include "output/wave_output.h"
#include "platform/auto_reset_event.h"
#include "platform/document.h"
#include "platform/message_presenter.h"
#include "platform/worker_thread.h"
#include "player/control_block.h"
#include "player/engine_events.h"
#include "player/message_stream.h"
#include "player/player_hooks.h"
#include "player/running_stream.h"

using namespace corvina;

struct CStartHandshake {
    CAutoResetEvent ready;
    CAutoResetEvent go;
};

namespace {

constexpr int kHandshakeMs = 2000;
// A start whose search for the first frame takes longer than this (through
// junk, or a container walked) stops holding the interface thread, so that
// a Stop or quit reaches the search at once.
constexpr auto kSearchHoldTime = std::chrono::milliseconds(40);
constexpr int kStopSleeps = 10;

std::atomic<EReplayGain> g_eReplayGain{EReplayGain::Off};

// The worker of the last start; touched by the interface thread only.
std::unique_ptr<CWorkerThread> g_pWorker;

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
    g_bSeekable = 1;
    NotifyDecoderChanged(false, 0.0f);
    delete pDecoder;
    // A live stream's title and state go with it.
    if (!GetLiveTitle().empty()) {
        NotifyLiveTitleChanged({});
    }
    if (GetLiveState() != ELiveState::Playing) {
        NotifyLiveStateChanged(ELiveState::Playing);
    }
}

// True while StartPlayback still waits for this start's worker.
bool IsAwaited(const CStartHandshake* pHandshake) {
    return pHandshake != nullptr && g_hReadyEvent.load() == &pHandshake->ready;
}

// Whoever takes the handshake out of the control block answers it: the
// worker when it is ready, has failed or searches long, or the interface
// thread when it stops waiting. Taken once, it is never waited for twice.
bool TakeHandshake(CStartHandshake* pHandshake) {
    if (pHandshake == nullptr) {
        return false;
    }
    CAutoResetEvent* pReady = &pHandshake->ready;
    return g_hReadyEvent.compare_exchange_strong(pReady, nullptr);
}

// The worker's answer without a go to wait for: the start goes on alone.
void LetStartGo(CStartHandshake* pHandshake) {
    if (TakeHandshake(pHandshake)) {
        pHandshake->ready.Set();
    }
}

// Maps the wave output's time onto the stream's. Each start and seek leaves
// a mark: the output's written seconds when it took effect and the stream
// second there. The sound heard follows the oldest mark the device has
// reached; a seek whose sound is still queued behind older sound shows its
// target, standing, until the device gets there.
class CTimeline {
  public:
    // pOutput is the decoder's sink, which the decoder closes (and deletes)
    // when its stream ends; it is asked only while the decoder has it.
    CTimeline(const CAudioDecoder& decoder, CWaveOutput* pOutput, double dStart)
        : m_decoder(decoder), m_pOutput(pOutput), m_marks{{0.0, dStart}} {}

    // Output seconds written so far.
    double Written() {
        if (const CWaveOutput* pOutput = Output()) {
            m_dWritten = pOutput->WrittenSeconds();
        }
        return m_dWritten;
    }
    void Mark(double dOutput, double dStream) { m_marks.push_back({dOutput, dStream}); }
    // What the output holds of the old place is not heard: the new place
    // follows at once.
    void DropQueued() {
        if (CWaveOutput* pOutput = Output()) {
            pOutput->DropQueued();
        }
    }
    // The stream second that the output's end stands at (where a relative
    // move reading on from here starts).
    double WrittenStreamSeconds() {
        const CMark& last = m_marks.back();
        return last.dStream + (Written() - last.dOutput);
    }
    // Tells the sound heard when it has moved on noticeably, or always with
    // bForce. Once the output has closed, all it was given has been played.
    void Report(bool bForce) {
        const CWaveOutput* pOutput = Output();
        const double dLimit = WrittenStreamSeconds();
        const double dPlayed = pOutput != nullptr ? pOutput->PlayedSeconds() : m_dWritten;
        while (m_marks.size() > 1 && m_marks[1].dOutput <= dPlayed) {
            m_marks.pop_front();
        }
        double dHeard = m_marks.back().dStream;
        if (m_marks.size() == 1) {
            dHeard += std::max(0.0, dPlayed - m_marks.front().dOutput);
        }
        // The time starts moving again (a seek's sound is reached) told at once.
        const bool bMoving = m_marks.size() == 1;
        if (bForce || bMoving != m_bReportedMoving ||
            std::abs(dHeard - m_dReported) >= kReportStep) {
            m_dReported = dHeard;
            m_bReportedMoving = bMoving;
            NotifyHeardTime(dHeard, m_marks.size() == 1 ? dLimit : dHeard);
        }
    }

  private:
    struct CMark {
        double dOutput;
        double dStream;
    };
    static constexpr double kReportStep = 0.05;

    CWaveOutput* Output() const { return m_decoder.HasEnded() ? nullptr : m_pOutput; }

    const CAudioDecoder& m_decoder;
    CWaveOutput* m_pOutput;
    std::deque<CMark> m_marks;
    double m_dWritten = 0.0;
    double m_dReported = -1.0;
    bool m_bReportedMoving = true;
};

// Moves the decoder to dSeconds of the playing time: by a seek where the
// stream can seek, else by reading on from where the decoder stands (a move
// back is then refused). The stream second reached, or a negative value when
// the decoder did not move.
double MoveDecoderTo(CAudioDecoder& decoder, double dSeconds, double dDecoderSeconds) {
    if (dSeconds <= 0.0) {
        return decoder.SeekPercent(0) != 0 ? 0.0 : -1.0;
    }
    if (decoder.Stream().CanSeek()) {
        decoder.MoveToStart(CStartPoint{dSeconds, false});
        return dSeconds;
    }
    if (dSeconds <= dDecoderSeconds) {
        return -1.0;
    }
    decoder.MoveToStart(CStartPoint{dSeconds - dDecoderSeconds, false});
    return dSeconds;
}

// Carries out a pending seek, or reports the position when it has changed.
void SeekOrReport(CAudioDecoder& decoder, CTimeline& timeline) {
    if (g_bSliderTracking != 0) {
        return;
    }
    // The flag is taken before the position is read, so a request made while
    // this one is carried out is kept for the next pass.
    if (g_bSeekPending.exchange(0, std::memory_order_acq_rel) != 0) {
        const double dSeconds = g_dSeekSeconds.exchange(-1.0, std::memory_order_acq_rel);
        if (dSeconds >= 0.0) {
            // A move to a time leaves nothing of the old place to be heard;
            // a move by percent still plays the frame in hand whole.
            timeline.DropQueued();
        }
        const double dOutput = timeline.Written();
        if (dSeconds >= 0.0) {
            const double dReached =
                MoveDecoderTo(decoder, dSeconds, timeline.WrittenStreamSeconds());
            if (dReached >= 0.0) {
                timeline.Mark(dOutput, dReached);
            }
        } else {
            const int nPercent = ClampPercent(g_nPosition.load(std::memory_order_acquire));
            // The frame in hand is still played whole before the new place.
            decoder.SeekPercent(nPercent);
            timeline.Mark(dOutput, decoder.PlayingTime() * nPercent / 100.0);
        }
        timeline.Report(true);
        return;
    }
    int nReported = g_nPosition;
    // A stop moves the state before it clears the position; looking at the
    // state after reading the position keeps a report from undoing the clear.
    if (g_nPlayState == PLAY_STOPPING) {
        return;
    }
    const int nPosition = decoder.PositionPercent();
    // A move made on the interface thread since the load wins over the report.
    if (nPosition != nReported && g_nPosition.compare_exchange_strong(nReported, nPosition)) {
        ShowPosition(nPosition);
        RepaintSlider();
    }
}

// What the control block asks of the decoding.
CDecodeChoices ChosenDecoding() {
    CDecodeChoices choices;
    choices.bConceal = g_bConcealFrames.load() != 0;
    const int nDual = g_nDualChannel.load();
    choices.eDual = nDual >= 0 && nDual <= static_cast<int>(EDualChannel::Mix)
                        ? static_cast<EDualChannel>(nDual)
                        : EDualChannel::Both;
    return choices;
}

// The wave output that the player's sink maker made, so the worker can ask it
// for the sound heard and whether it has a device.
CAudioDecoder::CHooks MakeHooksNoting(CWaveOutput*& pOutput, const std::string& strTitle) {
    CAudioDecoder::CHooks hooks = MakePlayerDecoderHooks(strTitle);
    hooks.fnMakeSink = [fnMake = std::move(hooks.fnMakeSink),
                        &pOutput](const CStreamFormat& format) {
        std::unique_ptr<CAudioSink> pSink = fnMake(format);
        pOutput = dynamic_cast<CWaveOutput*>(pSink.get());
        return pSink;
    };
    return hooks;
}

// One run through the file; false when the worker must end without a loop
// restart because the file is invalid or no decoder could be had.
bool PlayOnce(const std::string& strPath, CStartHandshake* pHandshake, const CStartPoint& start,
              EInvalidNotice notice) {
    CWaveOutput* pOutput = nullptr;
    CAudioDecoder::CHooks hooks = MakeHooksNoting(pOutput, StreamTitle(strPath));
    // Every wait and search of the decoder asks this; one still running past
    // the hold time lets the interface thread go.
    hooks.fnStopRequested = [fnStop = std::move(hooks.fnStopRequested), pHandshake,
                             started = std::chrono::steady_clock::now()] {
        if (IsAwaited(pHandshake) && std::chrono::steady_clock::now() - started > kSearchHoldTime) {
            LetStartGo(pHandshake);
        }
        return fnStop();
    };
    auto* pDecoder = new (std::nothrow) CAudioDecoder(strPath.c_str(), std::move(hooks));
    if (pDecoder == nullptr) {
        SetPlayState(PLAY_ENDED);
        LetStartGo(pHandshake);
        return false;
    }
    PublishDecoder(pDecoder);
    pDecoder->SetChoices(ChosenDecoding());

    if (pDecoder->Initialize() == 0) {
        const std::string strReason = pDecoder->FailureReason();
        RetireDecoder(pDecoder);
        // A stop that cut the search for the first frame short is no verdict
        // on the file, nor is the program's end.
        if (MovePlayState(PLAY_STOPPING, PLAY_ENDED) ||
            (IsPlaybackInterrupted() && (SetPlayState(PLAY_ENDED), true))) {
            LetStartGo(pHandshake);
            return false;
        }
        SetPlayState(PLAY_INVALID);
        // The interface thread goes first, so the box does not keep it waiting.
        LetStartGo(pHandshake);
        if (notice == EInvalidNotice::Console) {
            CConsolePresenter().Present(
                MSG_WARNING, "\"" + strPath + "\": " + kInvalidStreamText + ", skipped" +
                                 (strReason.empty() ? std::string() : " (" + strReason + ")"));
            return false;
        }
        ShowInvalidStream(strReason);
        return false;
    }
    // The stream plays on unpaced and unheard; a front end that cannot
    // show a box learns it from the flag before the decoder is told.
    if (!pDecoder->HasEnded() && pOutput != nullptr && !pOutput->HasDevice()) {
        g_bDeviceFailed = 1;
    }
    if (pOutput != nullptr) {
        pOutput->SetReplayGain(
            ReplayGainFactor(pDecoder->TrackInfo().replayGain, g_eReplayGain.load()));
    }

    // A position left at the end by the run before starts this one over.
    int nEnd = 100;
    g_nPosition.compare_exchange_strong(nEnd, 0);

    g_bDualChannelStream = pDecoder->Header().Mode() == MODE_DUAL_CHANNEL ? 1 : 0;
    // The playing time is known once the first frame has been read.
    g_bSeekable = pDecoder->Stream().CanSeek() ? 1 : 0;
    NotifyTrackInfoChanged(std::make_shared<const CTrackInfo>(pDecoder->TrackInfo()));
    NotifyDecoderChanged(true, pDecoder->PlayingTime());

    // A loop restart, or a start whose interface thread stopped waiting, has
    // nobody to answer the handshake and goes on at once.
    if (pHandshake != nullptr) {
        g_hGoEvent = &pHandshake->go;
        if (TakeHandshake(pHandshake)) {
            pHandshake->ready.Set();
            pHandshake->go.Wait(kHandshakeMs);
        }
        g_hGoEvent = nullptr;
    }

    // Initialize has left the first frame in the buffer: a start at 0 plays
    // it as it stands, a start elsewhere moves once, pending request or not,
    // and drops that frame, which lies before the start. A start point given
    // wins over the position.
    g_bSeekPending.exchange(0, std::memory_order_acq_rel);
    const double dSeekSeconds = g_dSeekSeconds.exchange(-1.0, std::memory_order_acq_rel);
    const double dPlayingTime = pDecoder->PlayingTime();
    int nStart = ClampPercent(g_nPosition.load(std::memory_order_acquire));
    double dStartSeconds = dPlayingTime * nStart / 100.0;
    if (start.dValue > 0.0 || dSeekSeconds > 0.0) {
        const CStartPoint point = start.dValue > 0.0 ? start : CStartPoint{dSeekSeconds, false};
        pDecoder->MoveToStart(point);
        dStartSeconds = point.bPercent ? dPlayingTime * point.dValue / 100.0 : point.dValue;
        nStart = dPlayingTime > 0
                     ? ClampPercent(static_cast<int>(dStartSeconds * 100 / dPlayingTime))
                     : 0;
        g_nPosition = nStart;
    } else if (nStart != 0) {
        pDecoder->SeekPercent(nStart);
        pDecoder->SkipFrame();
    }
    CTimeline timeline(*pDecoder, pOutput, dStartSeconds);
    ShowPosition(nStart);
    timeline.Report(true);

    for (;;) {
        CWorkerThread::SafePoint();
        SeekOrReport(*pDecoder, timeline);
        if (const CDecodeChoices choices = ChosenDecoding();
            choices.eDual != pDecoder->Choices().eDual) {
            pDecoder->SetChoices(choices);
        }
        if (pDecoder->DecodeFrame() == 0 || g_nPlayState == PLAY_STOPPING || g_bDeviceFailed != 0) {
            break;
        }
        g_bDualChannelStream = pDecoder->Header().Mode() == MODE_DUAL_CHANNEL ? 1 : 0;
        // A seek asked for meanwhile is shown already; the old place is
        // not told again before it is carried out.
        if (g_bSeekPending.load(std::memory_order_acquire) == 0) {
            timeline.Report(false);
        }
    }
    // At the end the output has played out and closed; after a stop the
    // last report carries where the sound handed over ends.
    timeline.Report(true);
    g_bDualChannelStream = 0;
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

unsigned PlayThreadProc(const std::string& strPath, std::shared_ptr<CStartHandshake> pHandshake,
                        CStartPoint start, EInvalidNotice notice) {
    // What this worker says is about its own file, whatever plays next.
    SetThreadMessageSubject(strPath);
    while (PlayOnce(strPath, pHandshake.get(), start, notice)) {
        // Stop clears the loop flag after it sets the state, so both are
        // looked at.
        if (g_bLoopPlay == 0 || g_nPlayState == PLAY_STOPPING || g_bDeviceFailed != 0) {
            SetPlayState(PLAY_ENDED);
            break;
        }
        pHandshake.reset();
        // A loop restart begins at the beginning.
        start = CStartPoint{};
    }
    return 0;
}

void NoteDeviceFailure() {
    g_bDeviceFailed = 1;
}

bool HasPlaybackFailed() {
    return g_bDeviceFailed != 0;
}

bool IsWorkerRunning() {
    return g_pWorker != nullptr && !g_pWorker->HasEnded();
}

bool StartPlayback(CDocument& document, const CStartPoint& start, EInvalidNotice notice) {
    // Two workers would overwrite each other's decoder: the previous one,
    // already told to stop, gets as long as a start may take to end.
    if (!RetireWorker(kWorkerEndMs)) {
        return false;
    }
    g_bDeviceFailed = 0;
    // Until the worker tells where the start lies.
    NotifyHeardTime(0.0, 0.0);
    SetPlayState(PLAY_STARTED);
    auto pHandshake = std::make_shared<CStartHandshake>();
    g_hReadyEvent = &pHandshake->ready;
    g_pWorker = std::make_unique<CWorkerThread>(
        [strPath = document.GetPathName(), pHandshake, start, notice] {
            PlayThreadProc(strPath, pHandshake, start, notice);
        });
    g_pPlayThread = g_pWorker.get();

    bool bAnswered = pHandshake->ready.Wait(kHandshakeMs);
    // A worker that took the handshake just as the wait ran out answers it
    // at once.
    if (!bAnswered && !TakeHandshake(pHandshake.get())) {
        bAnswered = pHandshake->ready.Wait(kHandshakeMs);
    }
    if (bAnswered && g_hGoEvent.load() != nullptr) {
        if (g_pDecoder.load() != nullptr) {
            document.UpdateAllViews();
        }
        pHandshake->go.Set();
    }
    g_hReadyEvent = nullptr;
    return true;
}

void SetReplayGainMode(EReplayGain eMode) {
    g_eReplayGain.store(eMode);
}

EReplayGain GetReplayGainMode() {
    return g_eReplayGain.load();
}

void PausePlayback() {
    if (g_pWorker == nullptr) {
        return;
    }
    g_pWorker->Hold();
    if (MovePlayState(PLAY_STARTED, PLAY_PAUSED) || MovePlayState(PLAY_RESUMED, PLAY_PAUSED)) {
        g_bLoopPlay = 0;
        RenewHeardTime();
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
    if (MovePlayState(PLAY_PAUSED, PLAY_RESUMED)) {
        RenewHeardTime();
    }
}

void StopPlayback() {
    g_nPosition = 0;
    if (g_nPlayState == PLAY_ENDED) {
        return;
    }
    NotifyHeardTime(0.0, 0.0);
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
    g_dSeekSeconds.store(-1.0, std::memory_order_release);
    g_bSeekPending.store(1, std::memory_order_release);
    // A worker waiting for the device wakes to drop what it queued.
    if (g_pWorker != nullptr) {
        g_pWorker->Interrupt();
    }
}

void MoveToTime(double dSeconds) {
    float fPlayingTime = 0.0f;
    GetRunningPlayingTime(fPlayingTime);
    dSeconds = std::max(0.0, dSeconds);
    if (fPlayingTime > 0.0f) {
        dSeconds = std::min(dSeconds, static_cast<double>(fPlayingTime));
        const int nPosition = ClampPercent(static_cast<int>(dSeconds * 100 / fPlayingTime));
        g_nPosition.store(nPosition, std::memory_order_release);
        ShowPosition(nPosition);
    }
    // Shown at once, standing, until the worker has moved there.
    NotifyHeardTime(dSeconds, dSeconds);
    g_dSeekSeconds.store(dSeconds, std::memory_order_release);
    g_bSeekPending.store(1, std::memory_order_release);
    // A worker waiting for the device wakes to drop what it queued.
    if (g_pWorker != nullptr) {
        g_pWorker->Interrupt();
    }
}

void MoveByTime(double dDelta) {
    MoveToTime(GetHeardTime().At(CHeardTime::CClock::now()) + dDelta);
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
