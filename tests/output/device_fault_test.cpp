// Faults at the wave device under the real document and worker: a device that
// refuses the format, fails to open, answers busy for ever, never finishes a
// buffer, or fails its reset or close. The player must stay responsive, tell
// what it tells, end within the retry bounds, stop on request, and leak nothing.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <chrono>
#include <functional>
#include <string>
#include <thread>

#include "player/control_block.h"
#include "player/corvina_doc.h"
#include "player/playback_control.h"
#include "resources/resource_ids.h"
#include "tests/support/recording_presenter.h"
#include "tests/support/recording_wave_device.h"
#include "tests/support/stream_builder.h"
#include "tests/support/temp_dir.h"

using namespace corvina;

namespace {

using CClock = std::chrono::steady_clock;

constexpr const char* kFormatWarning = "PCM waveformt not supported!";
constexpr const char* kOpenWarning =
    "Wave device open failed! Check if it is being used by another application!";
// Far above every retry bound the device can run into here, yet a test that
// hangs still ends.
constexpr int kWatchdogMs = 30000;

bool WaitFor(const std::function<bool()>& fnDone, int nTimeoutMs = kWatchdogMs) {
    const auto tEnd = CClock::now() + std::chrono::milliseconds(nTimeoutMs);
    while (!fnDone()) {
        if (CClock::now() > tEnd) {
            return false;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(2));
    }
    return true;
}

long MillisecondsSince(CClock::time_point tStart) {
    return static_cast<long>(
        std::chrono::duration_cast<std::chrono::milliseconds>(CClock::now() - tStart).count());
}

class DeviceFaultTest : public ::testing::Test {
  protected:
    void SetUp() override {
        ResetControlBlock();
        CFrameShape shape;
        shape.SetAll(2, 20, 1, 8);
        m_strFile = m_dir.Write("song.mp2", BuildStream(shape, kFrames));
        ASSERT_TRUE(m_document.OpenDocument(m_strFile));
    }
    void TearDown() override {
        ShutdownPlayback();
        ResetControlBlock();
    }

    CDeviceScript& Script() { return m_devices.Log().script; }
    int Count(const char* pszCall) { return m_devices.Log().Count(pszCall); }
    bool Ended() { return !IsWorkerRunning() && g_nPlayState == PLAY_ENDED; }

    // Plays the file and waits for the worker to end by itself.
    void PlayToTheEnd() {
        ASSERT_TRUE(m_document.ExecuteCommand(ID_PLAY_PLAYBACK));
        ASSERT_TRUE(WaitFor([this] { return Ended(); })) << "state " << g_nPlayState;
    }

    // Stops a playing stream and checks that the interface thread got its
    // answer at once and the worker ended soon after.
    void StopAndExpectEnd() {
        const auto tStop = CClock::now();
        ASSERT_TRUE(m_document.ExecuteCommand(ID_PLAY_STOP));
        EXPECT_LT(MillisecondsSince(tStop), 1000);
        ASSERT_TRUE(WaitFor([this] { return Ended(); }, 5000)) << "state " << g_nPlayState;
        EXPECT_GE(Count("Reset"), 1);
    }

    static constexpr int kFrames = 45;
    CRecordingDeviceInstaller m_devices;
    CRecordingPresenter m_presenter;
    CTempDir m_dir;
    std::string m_strFile;
    CCorvinaDoc m_document;
};

TEST_F(DeviceFaultTest, AFormatTheDeviceRefusesIsToldAndPlayedAnyway) {
    Script().nQueryResult = WAVERR_BADFORMAT;
    PlayToTheEnd();
    EXPECT_EQ(m_presenter.Count(kFormatWarning), 1);
    EXPECT_EQ(m_presenter.Count(kOpenWarning), 0);
    EXPECT_EQ(Count("Open"), 1);
    // 45 frames: four full buffers and a padded fifth.
    EXPECT_EQ(Count("Write"), 5);
}

TEST_F(DeviceFaultTest, ADeviceThatDoesNotOpenIsToldAndTheStreamRunsUnpaced) {
    Script().nQueryResult = WAVERR_BADFORMAT;
    Script().nOpenResult = MMSYSERR_ALLOCATED;
    PlayToTheEnd();
    EXPECT_EQ(m_presenter.Count(kFormatWarning), 1);
    EXPECT_EQ(m_presenter.Count("sound device " + GetWaveDeviceName() + ": " + kOpenWarning), 1);
    EXPECT_EQ(Count("Prepare") + Count("Write") + Count("Unprepare"), 0);
    EXPECT_EQ(Count("Reset") + Count("Close"), 0);
    // The player is fit for the next start, on a device that works again.
    Script().nQueryResult = MMSYSERR_NOERROR;
    Script().nOpenResult = MMSYSERR_NOERROR;
    PlayToTheEnd();
    EXPECT_EQ(Count("Write"), 5);
}

// Every Prepare and Write answers busy: each buffer costs its bounded
// retries and is lost, the stream still ends, and a stop cuts the retries.
TEST_F(DeviceFaultTest, ADeviceBusyForEverLosesTheBuffersButEndsAndStops) {
    Script().nBusyPrepares = -1;
    Script().nBusyWrites = -1;
    const auto tStart = CClock::now();
    PlayToTheEnd();
    // Priming hands over two buffers with 3 retries each; every later one
    // tries 50 times: bounded, with room for a loaded machine.
    EXPECT_GE(Count("Prepare"), 2 * 4 + 3 * 51);
    EXPECT_LT(MillisecondsSince(tStart), 20000);
    EXPECT_TRUE(m_devices.Log().submitted.empty());
    EXPECT_TRUE(m_presenter.Messages().empty());

    // Once the second run retries in steady play, a stop ends it.
    const int nFirstRun = Count("Prepare");
    ASSERT_TRUE(m_document.ExecuteCommand(ID_PLAY_PLAYBACK));
    ASSERT_TRUE(WaitFor([&] { return Count("Prepare") > nFirstRun + 2 * 4 + 10; }));
    StopAndExpectEnd();
}

// Unprepare answers still playing until a reset: every wait runs to its
// bound, the ring takes fresh buffers instead of writing into held ones, and
// the reset at the end gives everything back.
TEST_F(DeviceFaultTest, ABufferNeverFinishedCostsBoundedWaitsAndIsNeverWrittenInto) {
    Script().nPlayPolls = -1;
    const auto tStart = CClock::now();
    PlayToTheEnd();
    EXPECT_LT(MillisecondsSince(tStart), 20000);
    EXPECT_GE(Count("Write"), 3);
    EXPECT_THAT(m_devices.Log().Faults(), testing::IsEmpty());
    EXPECT_GE(Count("Reset"), 1);
    EXPECT_EQ(Count("Close"), 1);
}

TEST_F(DeviceFaultTest, AStopOrAPauseWhileABufferNeverFinishesIsHonouredAtOnce) {
    Script().nPlayPolls = -1;
    ASSERT_TRUE(m_document.ExecuteCommand(ID_PLAY_PLAYBACK));
    // The worker waits for the oldest buffer from the thirtieth frame on.
    ASSERT_TRUE(WaitFor([this] { return Count("Unprepare") > 5; }));
    // Commands of the interface thread do not wait for the worker.
    const auto tInfo = CClock::now();
    EXPECT_TRUE(m_document.ExecuteCommand(ID_VIEW_BITSTREAM_INFO));
    EXPECT_LT(MillisecondsSince(tInfo), 1000);
    EXPECT_EQ(m_presenter.Messages().size(), 1u);

    ASSERT_TRUE(m_document.ExecuteCommand(ID_PLAY_PAUSE));
    EXPECT_EQ(g_nPlayState, PLAY_PAUSED);
    StopAndExpectEnd();
    EXPECT_THAT(m_devices.Log().Faults(), testing::IsEmpty());

    ASSERT_TRUE(m_document.ExecuteCommand(ID_PLAY_PLAYBACK));
    ASSERT_TRUE(WaitFor([this] { return Count("Unprepare") > 20; }));
    StopAndExpectEnd();
}

// Reset and Close fail: each is retried a few times and then left, the worker
// ends, and the next start opens a fresh device.
TEST_F(DeviceFaultTest, FailedResetAndCloseAreRetriedBrieflyAndLeftBehind) {
    Script().nResetResult = MMSYSERR_ERROR;
    Script().nCloseResult = MMSYSERR_ERROR;
    PlayToTheEnd();
    EXPECT_EQ(Count("Reset"), 4);
    EXPECT_EQ(Count("Close"), 4);

    // Also after a stop, with buffers still queued at the device.
    Script().nPlayPolls = -1;
    ASSERT_TRUE(m_document.ExecuteCommand(ID_PLAY_PLAYBACK));
    ASSERT_TRUE(WaitFor([this] { return Count("Unprepare") > 3; }));
    const int nResets = Count("Reset");
    ASSERT_TRUE(m_document.ExecuteCommand(ID_PLAY_STOP));
    ASSERT_TRUE(WaitFor([this] { return Ended(); }, 5000));
    EXPECT_EQ(Count("Reset"), nResets + 4);
    EXPECT_EQ(Count("Open"), 2);
}

}  // namespace
