// Every transition of the playback state with the real worker on the null
// device: start, pause, resume, stop, end of stream, loop restart, moves of
// the position, a stop during the wave output's wait, a start while the
// previous worker runs, and the ways a start can fail.
#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <cstdlib>
#include <mutex>
#include <new>
#include <thread>

#include "decoder/audio_decoder.h"
#include "platform/wave_backends.h"
#include "platform/wave_device.h"
#include "platform/worker_thread.h"
#include "player/control_block.h"
#include "player/corvina_doc.h"
#include "player/playback_control.h"
#include "resources/resource_ids.h"
#include "tests/player/player_test_support.h"
#include "tests/support/recording_presenter.h"
#include "tests/support/temp_dir.h"

using namespace corvina;

// The worker creates its decoder with the non-throwing new; a test can make
// the next such allocation of a decoder's size fail.
namespace {
std::atomic<bool> g_bFailDecoderAllocation{false};
}  // namespace

void* operator new(std::size_t nBytes, const std::nothrow_t&) noexcept {
    if (nBytes == sizeof(CAudioDecoder) && g_bFailDecoderAllocation.exchange(false)) {
        return nullptr;
    }
    try {
        return ::operator new(nBytes);
    } catch (...) {
        return nullptr;
    }
}

namespace {

using std::chrono::milliseconds;

// The null device, with every call counted and the devices open at once
// tracked, so that overlapping workers and calls after a stop show.
class CWatchedDevice : public CWaveDevice {
  public:
    struct CLog {
        std::mutex lock;
        int nOpen = 0;
        int nMostOpen = 0;
        int nStillPlaying = 0;        // Unprepare answers of still playing
        int nCallsWhileStopping = 0;  // Prepare, Write and Unprepare after a stop
        int nResets = 0;
    };

    explicit CWatchedDevice(CLog& log) : m_log(log), m_pInner(CreateNullWaveDevice()) {}
    ~CWatchedDevice() override {
        if (m_bOpen) {
            Close();
        }
    }

    int QueryFormat(const CWaveFormat& format) override { return m_pInner->QueryFormat(format); }
    int Open(const CWaveFormat& format) override {
        const int nResult = m_pInner->Open(format);
        if (nResult == MMSYSERR_NOERROR) {
            std::lock_guard<std::mutex> lock(m_log.lock);
            m_bOpen = true;
            m_log.nMostOpen = std::max(m_log.nMostOpen, ++m_log.nOpen);
        }
        return nResult;
    }
    int Prepare(CWaveHeader& header) override {
        NoteCall();
        return m_pInner->Prepare(header);
    }
    int Write(CWaveHeader& header) override {
        NoteCall();
        return m_pInner->Write(header);
    }
    int Unprepare(CWaveHeader& header) override {
        NoteCall();
        const int nResult = m_pInner->Unprepare(header);
        if (nResult == WAVERR_STILLPLAYING) {
            std::lock_guard<std::mutex> lock(m_log.lock);
            ++m_log.nStillPlaying;
        }
        return nResult;
    }
    int Reset() override {
        {
            std::lock_guard<std::mutex> lock(m_log.lock);
            ++m_log.nResets;
        }
        return m_pInner->Reset();
    }
    int Close() override {
        const int nResult = m_pInner->Close();
        if (nResult == MMSYSERR_NOERROR && m_bOpen) {
            std::lock_guard<std::mutex> lock(m_log.lock);
            m_bOpen = false;
            --m_log.nOpen;
        }
        return nResult;
    }
    bool HasVolume() override { return m_pInner->HasVolume(); }
    int GetVolume(uint32_t& dwVolume) override { return m_pInner->GetVolume(dwVolume); }
    int SetVolume(uint32_t dwVolume) override { return m_pInner->SetVolume(dwVolume); }

  private:
    void NoteCall() {
        if (g_nPlayState == PLAY_STOPPING) {
            std::lock_guard<std::mutex> lock(m_log.lock);
            ++m_log.nCallsWhileStopping;
        }
    }

    CLog& m_log;
    std::unique_ptr<CWaveDevice> m_pInner;
    bool m_bOpen = false;
};

class WorkerTransitionsTest : public testing::Test {
  protected:
    void SetUp() override {
        ResetControlBlock();
        m_slider.Attach();
        SetWaveDeviceFactory(
            [this](std::string_view) { return std::make_unique<CWatchedDevice>(m_log); });
        m_document.AddView(&m_view);
        // 20 s on the null device, which takes real time: long enough that
        // no test sees it end unless it plays a shorter one.
        m_strStream = SamplePath();
        ASSERT_TRUE(m_document.OpenDocument(m_strStream));
    }
    void TearDown() override {
        m_slider.LetGo();
        ShutdownPlayback();
        m_document.RemoveView(&m_view);
        SetWaveDeviceFactory({});
    }

    bool Enabled(int nID) { return m_document.IsCommandEnabled(nID); }
    bool Checked(int nID) {
        CCmdUI cmdUI(nID);
        m_document.OnUpdateCommand(cmdUI);
        return cmdUI.m_bChecked;
    }
    bool Held() {
        const CWorkerThread* pWorker = g_pPlayThread.load();
        return pWorker != nullptr && pWorker->IsWaitingInHold();
    }

    CRecordingPresenter m_presenter;
    CTestSlider m_slider;
    CTempDir m_dir;
    CWatchedDevice::CLog m_log;
    CCountingView m_view;
    CCorvinaDoc m_document;
    std::string m_strStream;
};

}  // namespace

TEST_F(WorkerTransitionsTest, StartPauseResumeAndStopFollowTheStateTable) {
    ASSERT_TRUE(m_document.ExecuteCommand(ID_PLAY_PLAYBACK));
    // 0 -> 1, the handshake over: the decoder is up and the view was refreshed.
    EXPECT_EQ(g_nPlayState, PLAY_STARTED);
    EXPECT_NE(g_pDecoder.load(), nullptr);
    EXPECT_EQ(m_view.m_nUpdates, 1);
    EXPECT_TRUE(Enabled(ID_PLAY_PAUSE));
    EXPECT_TRUE(Enabled(ID_PLAY_STOP));
    EXPECT_TRUE(Enabled(ID_VIEW_BITSTREAM_INFO));
    EXPECT_FALSE(Enabled(ID_PLAY_PLAYBACK));
    EXPECT_FALSE(Enabled(ID_AUDIO_SMOOTH));
    EXPECT_TRUE(Checked(ID_PLAY_PLAYBACK));
    EXPECT_FALSE(Checked(ID_PLAY_LOOP));
    ASSERT_TRUE(m_document.ExecuteCommand(ID_VIEW_BITSTREAM_INFO));
    ASSERT_EQ(m_presenter.Messages().size(), 1u);
    EXPECT_EQ(m_presenter.Messages()[0].nKind, MSG_INFORMATION);
    EXPECT_NE(m_presenter.Messages()[0].strText.find("corvina-sample.mp2 is a layer II stereo"),
              std::string::npos);

    // 1 -> 4: the worker stands still, nothing moves while it is held.
    ASSERT_TRUE(m_document.ExecuteCommand(ID_PLAY_PAUSE));
    EXPECT_EQ(g_nPlayState, PLAY_PAUSED);
    ASSERT_TRUE(WaitUntil([this] { return Held(); }));
    const int nHeldAt = g_nPosition;
    const std::size_t nReports = m_slider.WorkerPositions().size();
    std::this_thread::sleep_for(milliseconds(300));
    EXPECT_EQ(g_nPosition, nHeldAt);
    EXPECT_EQ(m_slider.WorkerPositions().size(), nReports);
    EXPECT_TRUE(Enabled(ID_PLAY_PLAYBACK));
    EXPECT_TRUE(Enabled(ID_PLAY_LOOP));
    EXPECT_FALSE(Enabled(ID_PLAY_PAUSE));
    EXPECT_TRUE(Enabled(ID_PLAY_STOP));

    // 4 -> 2 by Loop Play turns loop play on; a pause clears it again, and
    // Playback resumes without it.
    ASSERT_TRUE(m_document.ExecuteCommand(ID_PLAY_LOOP));
    EXPECT_EQ(g_nPlayState, PLAY_RESUMED);
    EXPECT_EQ(g_bLoopPlay, 1);
    EXPECT_TRUE(Checked(ID_PLAY_LOOP));
    ASSERT_TRUE(m_document.ExecuteCommand(ID_PLAY_PAUSE));
    EXPECT_EQ(g_bLoopPlay, 0);
    ASSERT_TRUE(m_document.ExecuteCommand(ID_PLAY_PLAYBACK));
    EXPECT_EQ(g_nPlayState, PLAY_RESUMED);
    EXPECT_EQ(g_bLoopPlay, 0);
    EXPECT_TRUE(WaitUntil([&] { return m_slider.WorkerPositions().size() > nReports; }));

    // 4 -> 2 -> 3 at once, then 5 once the worker has seen it.
    ASSERT_TRUE(m_document.ExecuteCommand(ID_PLAY_PAUSE));
    ASSERT_TRUE(WaitUntil([this] { return Held(); }));
    ASSERT_TRUE(m_document.ExecuteCommand(ID_PLAY_STOP));
    EXPECT_EQ(g_nPosition, 0);
    ASSERT_TRUE(WaitForWorkerEnd());
    EXPECT_EQ(g_nPlayState, PLAY_ENDED);
    EXPECT_EQ(g_pDecoder.load(), nullptr);
    EXPECT_EQ(m_log.nOpen, 0);
    EXPECT_FALSE(Enabled(ID_PLAY_STOP));
    EXPECT_TRUE(Enabled(ID_PLAY_PLAYBACK));
    EXPECT_TRUE(Enabled(ID_AUDIO_SMOOTH));
}

TEST_F(WorkerTransitionsTest, EndOfStreamEndsInEndedAndPlayStartsAgain) {
    const std::string strShort = SampleCut(m_dir, 8000, "short.mp2");  // about 12 frames
    ASSERT_TRUE(m_document.OpenDocument(strShort));
    for (int nRun = 0; nRun < 2; ++nRun) {
        SCOPED_TRACE(nRun);
        ASSERT_TRUE(m_document.ExecuteCommand(ID_PLAY_PLAYBACK));
        ASSERT_TRUE(WaitForWorkerEnd());
        EXPECT_EQ(g_nPlayState, PLAY_ENDED);
        EXPECT_EQ(g_pDecoder.load(), nullptr);
        // The position is back at 0, but the slider keeps its last value.
        EXPECT_EQ(g_nPosition, 0);
        EXPECT_GE(m_slider.GetPosition(), 90);
        EXPECT_EQ(m_log.nOpen, 0);
        EXPECT_EQ(m_log.nMostOpen, 1);
    }
    EXPECT_TRUE(m_presenter.Messages().empty());
}

// The wave output gives its wait up at the stop: no device call but the one
// in hand, then reset and close.
TEST_F(WorkerTransitionsTest, StopDuringTheOutputsWaitEndsTheWorkerBeforeAnotherPoll) {
    ASSERT_TRUE(m_document.ExecuteCommand(ID_PLAY_PLAYBACK));
    ASSERT_TRUE(WaitUntil([this] {
        std::lock_guard<std::mutex> lock(m_log.lock);
        return m_log.nStillPlaying > 0;
    }));
    ASSERT_TRUE(m_document.ExecuteCommand(ID_PLAY_STOP));
    ASSERT_TRUE(WaitForWorkerEnd());
    EXPECT_LE(m_log.nCallsWhileStopping, 1);
    EXPECT_EQ(m_log.nResets, 1);
    EXPECT_EQ(m_log.nOpen, 0);
}

// Loop play on the paced device: the state stays 1 across the restart, and
// the decoder is a new one.
TEST_F(WorkerTransitionsTest, LoopRestartKeepsPlayingAndPauseEndsLoopPlay) {
    const std::string strShort = SampleCut(m_dir, 8000, "short.mp2");
    ASSERT_TRUE(m_document.OpenDocument(strShort));
    auto fnRestart = [bSeenFirst = false](int nPosition) mutable {
        const bool bRestart = nPosition == 0 && bSeenFirst;
        bSeenFirst = true;
        return bRestart;
    };
    m_slider.StopWorkerWhen(fnRestart);
    ASSERT_TRUE(m_document.ExecuteCommand(ID_PLAY_LOOP));
    ASSERT_TRUE(m_slider.WaitForStoppedWorker());
    EXPECT_EQ(g_nPlayState, PLAY_STARTED);
    EXPECT_TRUE(Checked(ID_PLAY_LOOP));
    EXPECT_FALSE(Checked(ID_PLAY_PLAYBACK));
    ASSERT_TRUE(PauseAtGate(m_document, m_slider));
    EXPECT_EQ(g_bLoopPlay, 0);
    ASSERT_TRUE(m_document.ExecuteCommand(ID_PLAY_PLAYBACK));
    // Without loop play this second run is the last one.
    ASSERT_TRUE(WaitForWorkerEnd());
    EXPECT_EQ(g_nPlayState, PLAY_ENDED);
    EXPECT_EQ(m_log.nMostOpen, 1);
}

TEST_F(WorkerTransitionsTest, MovesClampAndMoveTheSliderInEveryState) {
    struct CStep {
        int nFrom, nCommand, nTo;
    };
    for (const CStep& step :
         {CStep{5, ID_PLAY_REWIND, 0}, CStep{3, ID_PLAY_REWIND, 0},
          CStep{97, ID_PLAY_FAST_FORWARD, 100}, CStep{100, ID_PLAY_FAST_FORWARD, 100},
          CStep{40, ID_PLAY_REWIND, 30}, CStep{0, ID_PLAY_FAST_FORWARD, 5}}) {
        g_nPosition = step.nFrom;
        g_bSeekPending = 0;
        ASSERT_TRUE(m_document.ExecuteCommand(step.nCommand));
        EXPECT_EQ(g_nPosition, step.nTo);
        EXPECT_EQ(m_slider.GetPosition(), step.nTo);
        EXPECT_EQ(g_bSeekPending, 1);
    }
    // A stop sets the position to 0 without telling the slider.
    m_document.ExecuteCommand(ID_PLAY_FAST_FORWARD);
    StopPlayback();
    EXPECT_EQ(g_nPosition, 0);
    EXPECT_EQ(m_slider.GetPosition(), 10);
}

// A stop that finds the worker held in a report waits its ten sleeps and
// leaves it running; the next start waits for that worker to end, so two
// never overlap.
TEST_F(WorkerTransitionsTest, StartWhileThePreviousWorkerRunsWaitsForItToEnd) {
    m_slider.StopWorkerWhen(AtPercent(10));
    ASSERT_TRUE(m_document.ExecuteCommand(ID_PLAY_PLAYBACK));
    ASSERT_TRUE(m_slider.WaitForStoppedWorker());
    ASSERT_TRUE(m_document.ExecuteCommand(ID_PLAY_STOP));
    EXPECT_EQ(g_nPlayState, PLAY_STOPPING);
    EXPECT_NE(g_pDecoder.load(), nullptr);
    EXPECT_TRUE(IsWorkerRunning());
    ASSERT_TRUE(Enabled(ID_PLAY_PLAYBACK));  // 3 allows a start

    std::thread letGo([this] {
        std::this_thread::sleep_for(milliseconds(300));
        m_slider.LetGo();
    });
    ASSERT_TRUE(m_document.ExecuteCommand(ID_PLAY_PLAYBACK));
    letGo.join();
    EXPECT_EQ(g_nPlayState, PLAY_STARTED);
    EXPECT_NE(g_pDecoder.load(), nullptr);
    EXPECT_EQ(m_log.nMostOpen, 1);
    ASSERT_TRUE(m_document.ExecuteCommand(ID_PLAY_STOP));
    ASSERT_TRUE(WaitForWorkerEnd());
    EXPECT_EQ(m_log.nMostOpen, 1);
}

// A previous worker that does not end within a start's own time limit makes
// the start refuse; Play works once it has ended.
TEST_F(WorkerTransitionsTest, StartRefusesWhileThePreviousWorkerDoesNotEnd) {
    m_slider.StopWorkerWhen(AtPercent(5));
    ASSERT_TRUE(m_document.ExecuteCommand(ID_PLAY_PLAYBACK));
    ASSERT_TRUE(m_slider.WaitForStoppedWorker());
    ASSERT_TRUE(m_document.ExecuteCommand(ID_PLAY_STOP));
    m_document.ExecuteCommand(ID_PLAY_PLAYBACK);
    EXPECT_EQ(g_nPlayState, PLAY_STOPPING);
    EXPECT_EQ(m_log.nMostOpen, 1);
    m_slider.LetGo();
    ASSERT_TRUE(WaitForWorkerEnd());
    ASSERT_TRUE(m_document.ExecuteCommand(ID_PLAY_PLAYBACK));
    EXPECT_EQ(g_nPlayState, PLAY_STARTED);
    EXPECT_EQ(m_log.nMostOpen, 1);
}

// Play on a file of junk holds the interface thread only briefly while the
// worker searches it (for seconds) for a first frame: a Stop right after
// ends the search at once, and no verdict on the file is given. Once it took
// a second; 200 ms leaves room for the sanitizer builds (up to 125 ms seen).
TEST_F(WorkerTransitionsTest, StopDuringALongSearchThroughJunkEndsItAtOnce) {
    ASSERT_TRUE(m_document.OpenDocument(
        m_dir.Write("junk.mp2", std::vector<uint8_t>(std::size_t{32} << 20, 0xFF))));
    const auto started = std::chrono::steady_clock::now();
    ASSERT_TRUE(m_document.ExecuteCommand(ID_PLAY_PLAYBACK));
    ASSERT_TRUE(m_document.ExecuteCommand(ID_PLAY_STOP));
    EXPECT_TRUE(WaitForWorkerEnd(200));
    EXPECT_LT(std::chrono::steady_clock::now() - started, milliseconds(200));
    EXPECT_EQ(g_nPlayState, PLAY_ENDED);
    EXPECT_EQ(m_presenter.Count("Invalid Audio Stream"), 0);
}

TEST_F(WorkerTransitionsTest, DecoderThatCannotBeCreatedEndsInEndedAndPlayWorksAgain) {
    g_bFailDecoderAllocation = true;
    ASSERT_TRUE(m_document.ExecuteCommand(ID_PLAY_PLAYBACK));
    ASSERT_TRUE(WaitForWorkerEnd());
    EXPECT_EQ(g_nPlayState, PLAY_ENDED);
    EXPECT_FALSE(g_bFailDecoderAllocation);
    EXPECT_EQ(g_pDecoder.load(), nullptr);
    EXPECT_EQ(m_view.m_nUpdates, 0);
    EXPECT_FALSE(Enabled(ID_PLAY_STOP));
    ASSERT_TRUE(m_document.ExecuteCommand(ID_PLAY_PLAYBACK));
    EXPECT_EQ(g_nPlayState, PLAY_STARTED);
    EXPECT_NE(g_pDecoder.load(), nullptr);
}

// Loop Play on a file that is no stream: the warning, state 7, Play refused
// until another file is opened; moves still work; opening the next file
// ends loop mode, so Playback plays it once.
TEST_F(WorkerTransitionsTest, InvalidStreamEndsInInvalidAndTheNextFileDoesNotLoop) {
    ASSERT_TRUE(m_document.OpenDocument(m_dir.Write("notes.txt", {'n', 'o', 't', ' ', 'm', 'p'})));
    ASSERT_TRUE(m_document.ExecuteCommand(ID_PLAY_LOOP));
    ASSERT_TRUE(WaitForWorkerEnd());
    EXPECT_EQ(g_nPlayState, PLAY_INVALID);
    EXPECT_EQ(m_presenter.Count("Invalid Audio Stream"), 1);
    EXPECT_EQ(g_pDecoder.load(), nullptr);
    EXPECT_EQ(g_bLoopPlay, 1);
    EXPECT_FALSE(Enabled(ID_PLAY_PLAYBACK));
    EXPECT_FALSE(Enabled(ID_PLAY_LOOP));
    EXPECT_TRUE(Enabled(ID_AUDIO_SMOOTH));
    EXPECT_TRUE(m_document.ExecuteCommand(ID_PLAY_FAST_FORWARD));
    EXPECT_EQ(g_nPosition, 5);

    const std::string strShort = SampleCut(m_dir, 8000, "short.mp2");
    ASSERT_TRUE(m_document.OpenDocument(strShort));
    EXPECT_EQ(g_nPlayState, PLAY_IDLE);
    EXPECT_EQ(g_nPosition, 0);
    EXPECT_EQ(g_bLoopPlay, 0);
    ASSERT_TRUE(m_document.ExecuteCommand(ID_PLAY_PLAYBACK));
    ASSERT_TRUE(WaitForWorkerEnd());
    EXPECT_EQ(g_nPlayState, PLAY_ENDED);
}

TEST_F(WorkerTransitionsTest, CloseAndOpenDuringPlaybackStopIt) {
    ASSERT_TRUE(m_document.ExecuteCommand(ID_PLAY_PLAYBACK));
    ASSERT_TRUE(WaitUntil([] { return g_nPosition > 0; }));
    ASSERT_TRUE(m_document.ExecuteCommand(ID_FILE_CLOSE));
    ASSERT_TRUE(WaitForWorkerEnd());
    EXPECT_EQ(m_document.GetPathName(), m_strStream);
    EXPECT_EQ(g_nPosition, 0);
    // Play starts the same file again, from the beginning.
    const std::size_t nReports = m_slider.WorkerPositions().size();
    ASSERT_TRUE(m_document.ExecuteCommand(ID_PLAY_PLAYBACK));
    ASSERT_TRUE(WaitUntil([&] { return m_slider.WorkerPositions().size() > nReports; }));
    EXPECT_EQ(m_slider.WorkerPositions()[nReports], 0);

    // Paused, then another file: stopped, ready at 0, not playing.
    ASSERT_TRUE(m_document.ExecuteCommand(ID_PLAY_PAUSE));
    const std::string strOther = SampleCut(m_dir, 30000, "other.mp2");
    ASSERT_TRUE(m_document.OpenDocument(strOther));
    EXPECT_FALSE(IsWorkerRunning());
    EXPECT_EQ(g_nPlayState, PLAY_IDLE);
    EXPECT_EQ(g_nPosition, 0);
    EXPECT_EQ(m_slider.GetPosition(), 0);
    EXPECT_EQ(m_log.nOpen, 0);
    EXPECT_EQ(m_log.nMostOpen, 1);
}

// Quitting ends the worker whatever it is doing.
TEST_F(WorkerTransitionsTest, DestroyingTheDocumentEndsAWorkerInAnyState) {
    for (int nCase = 0; nCase < 3; ++nCase) {
        SCOPED_TRACE(nCase);
        std::thread letGo;
        {
            CCorvinaDoc document;
            ASSERT_TRUE(document.OpenDocument(m_strStream));
            if (nCase == 2) {
                m_slider.StopWorkerWhen(AtPercent(1));
            }
            ASSERT_TRUE(document.ExecuteCommand(ID_PLAY_LOOP));
            if (nCase == 1) {
                ASSERT_TRUE(document.ExecuteCommand(ID_PLAY_PAUSE));
                ASSERT_TRUE(WaitUntil([this] { return Held(); }));
            } else if (nCase == 2) {
                // Held in a report; the slider lets go once the quit has begun.
                ASSERT_TRUE(m_slider.WaitForStoppedWorker());
                letGo = std::thread([this] {
                    std::this_thread::sleep_for(milliseconds(100));
                    m_slider.LetGo();
                });
            }
        }
        if (letGo.joinable()) {
            letGo.join();
        }
        EXPECT_FALSE(IsWorkerRunning());
        EXPECT_EQ(g_pDecoder.load(), nullptr);
        EXPECT_EQ(m_log.nOpen, 0);
    }
}
