// The wave output against a recording device: priming and pacing, buffer
// layout, play-out, stops, smooth playback, opening failures and the
// device's busy and still-playing answers.
#include "output/wave_output.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <memory>
#include <ostream>
#include <set>
#include <string>
#include <thread>
#include <vector>

#include "platform/worker_thread.h"
#include "tests/support/recording_presenter.h"
#include "tests/support/recording_wave_device.h"
#include "tests/support/temp_dir.h"

using namespace corvina;

namespace {

constexpr int kLayer1 = 1;
constexpr int kLayer2 = 2;
constexpr const char* kFormatWarning = "PCM waveformt not supported!";
constexpr const char* kOpenWarning =
    "Wave device open failed! Check if it is being used by another application!";

// The nth sample of a channel: never zero, and telling channel and place apart.
int16_t SampleValue(int nChannel, int nIndex) {
    return static_cast<int16_t>(1 + (nIndex % 15000) * 2 + nChannel);
}

int16_t Le16(const std::vector<uint8_t>& bytes, std::size_t nAt) {
    return static_cast<int16_t>(bytes[nAt] | bytes[nAt + 1] << 8);
}

// Hands samples to the output as the decoder does: a frame at a time, its
// channels interleaved.
class CFrameSource {
  public:
    explicit CFrameSource(CWaveOutput& output) : m_output(output) {}

    int32_t Frame(int nLayer, int nChannels) {
        const int nSamples = nLayer == kLayer1 ? 384 : 1152;
        std::vector<int16_t> frame;
        for (int i = 0; i < nSamples; ++i) {
            for (int c = 0; c < nChannels; ++c) {
                frame.push_back(SampleValue(c, m_nNext[c]++));
            }
        }
        m_output.WriteFrame(frame, nChannels);
        return m_output.EndFrame();
    }

    void Frames(int nCount, int nLayer, int nChannels) {
        for (int i = 0; i < nCount; ++i) {
            Frame(nLayer, nChannels);
        }
    }

  private:
    CWaveOutput& m_output;
    int m_nNext[2] = {0, 0};
};

class WaveOutputTest : public ::testing::Test {
  protected:
    // An output as the player makes it: stopped by the test's flag, its
    // warnings recorded.
    std::unique_ptr<CWaveOutput> Open(int nChannels, int nLayer, int nRate = 44100,
                                      bool bSmooth = false) {
        const CStreamFormat format{nChannels, nRate, nLayer == kLayer1 ? 384 : 1152};
        return std::make_unique<CWaveOutput>(
            format, bSmooth, [this] { return m_bStop.load(); }, m_presenter.Reporter());
    }

    CDeviceLog& Log() { return m_devices.Log(); }
    int Writes() { return Log().Count("Write"); }

    CRecordingDeviceInstaller m_devices;
    CRecordingPresenter m_presenter;
    std::atomic<bool> m_bStop{false};
};

TEST_F(WaveOutputTest, PrimingHoldsTwoBuffersThenEveryTenthFrameFeedsAndWaits) {
    auto pOutput = Open(2, kLayer2);
    CFrameSource source(*pOutput);
    EXPECT_EQ(Log().format.nChannels, 2);
    EXPECT_EQ(Log().format.nSamplesPerSec, 44100u);

    source.Frames(19, kLayer2, 2);
    EXPECT_EQ(Writes(), 0);
    source.Frames(1, kLayer2, 2);
    EXPECT_EQ(Writes(), 2);
    source.Frames(9, kLayer2, 2);
    EXPECT_EQ(Writes(), 2);
    source.Frames(1, kLayer2, 2);
    EXPECT_EQ(Writes(), 3);
    source.Frames(9, kLayer2, 2);
    EXPECT_EQ(Log().Count("Unprepare"), 0);
    source.Frames(1, kLayer2, 2);
    EXPECT_EQ(Writes(), 4);
    // The fortieth frame waits for the oldest buffer, which is filled next.
    ASSERT_EQ(Log().calls.back().strName, "Unprepare");
    EXPECT_EQ(Log().calls.back().pHeader->pData, Log().submitted[0].pData);
    source.Frames(10, kLayer2, 2);
    EXPECT_EQ(Writes(), 5);
    EXPECT_EQ(Log().submitted[4].pData, Log().submitted[0].pData);

    // Handed over oldest first, each holding the next ten frames.
    ASSERT_EQ(Log().submitted.size(), 5u);
    for (int nBuffer = 0; nBuffer < 5; ++nBuffer) {
        const auto& bytes = Log().submitted[nBuffer].bytes;
        ASSERT_EQ(bytes.size(), 46080u);
        EXPECT_EQ(Le16(bytes, 0), SampleValue(0, nBuffer * 11520)) << nBuffer;
        EXPECT_EQ(Le16(bytes, 46076), SampleValue(0, nBuffer * 11520 + 11519)) << nBuffer;
    }
    EXPECT_EQ(m_presenter.Messages().size(), 0u);
}

TEST_F(WaveOutputTest, StereoInterleavesByPositionAndMonoAdvancesByTwo) {
    {
        auto pOutput = Open(2, kLayer2);
        CFrameSource source(*pOutput);
        source.Frames(20, kLayer2, 2);
    }
    const auto& stereo = Log().submitted.at(0).bytes;
    for (int i = 0; i < 11520; ++i) {
        ASSERT_EQ(Le16(stereo, 4 * i), SampleValue(0, i)) << i;
        ASSERT_EQ(Le16(stereo, 4 * i + 2), SampleValue(1, i)) << i;
    }
    Log().submitted.clear();
    {
        auto pOutput = Open(1, kLayer2, 48000);
        CFrameSource source(*pOutput);
        source.Frames(20, kLayer2, 1);
        EXPECT_EQ(Log().format.nChannels, 1);
        EXPECT_EQ(Log().format.nSamplesPerSec, 48000u);
    }
    const auto& mono = Log().submitted.at(0).bytes;
    ASSERT_EQ(mono.size(), 23040u);
    for (int i = 0; i < 11520; ++i) {
        ASSERT_EQ(Le16(mono, 2 * i), SampleValue(0, i)) << i;
    }
}

struct CSizeCase {
    int nLayer;
    int16_t nChannels;
    bool bSmooth;
    uint32_t nBytes;
    uint32_t nRate;
};

void PrintTo(const CSizeCase& size, std::ostream* pOut) {
    *pOut << "Layer " << size.nLayer << ", " << size.nChannels << " channels"
          << (size.bSmooth ? ", smooth" : "");
}

class WaveOutputSizeTest : public WaveOutputTest,
                           public ::testing::WithParamInterface<CSizeCase> {};

// One frame, then the end: the padded buffer shows the buffer size.
TEST_P(WaveOutputSizeTest, BufferSizeFollowsLayerChannelsAndSmoothPlayback) {
    const CSizeCase& size = GetParam();
    {
        auto pOutput = Open(size.nChannels, size.nLayer, 32000, size.bSmooth);
        EXPECT_EQ(pOutput->BufferSize(), size.nBytes);
        CFrameSource source(*pOutput);
        source.Frame(size.nLayer, size.nChannels);
    }
    ASSERT_EQ(Log().submitted.size(), 1u);
    EXPECT_EQ(Log().submitted[0].bytes.size(), size.nBytes);
    EXPECT_EQ(Log().format.nSamplesPerSec, size.nRate);
}

INSTANTIATE_TEST_SUITE_P(Sizes, WaveOutputSizeTest,
                         ::testing::Values(CSizeCase{kLayer2, 2, false, 46080, 32000},
                                           CSizeCase{kLayer2, 2, true, 23040, 16000},
                                           CSizeCase{kLayer2, 1, false, 23040, 32000},
                                           CSizeCase{kLayer1, 2, false, 15360, 32000},
                                           CSizeCase{kLayer1, 1, false, 7680, 32000}),
                         [](const ::testing::TestParamInfo<CSizeCase>& sizeInfo) {
                             const CSizeCase& size = sizeInfo.param;
                             return "Layer" + std::to_string(size.nLayer) +
                                    (size.nChannels == 2 ? "Stereo" : "Mono") +
                                    (size.bSmooth ? "Smooth" : "");
                         });

TEST_F(WaveOutputTest, FewerThanTenFramesPlayOnePaddedBufferAtTheEnd) {
    Log().script.nPlayPolls = 2;
    {
        auto pOutput = Open(2, kLayer2);
        CFrameSource source(*pOutput);
        source.Frames(3, kLayer2, 2);
        EXPECT_EQ(Writes(), 0);
    }
    ASSERT_EQ(Log().submitted.size(), 1u);
    const auto& bytes = Log().submitted[0].bytes;
    ASSERT_EQ(bytes.size(), 46080u);
    EXPECT_EQ(Le16(bytes, 3 * 4608 - 2), SampleValue(1, 3 * 1152 - 1));
    for (std::size_t i = 3 * 4608; i < bytes.size(); ++i) {
        ASSERT_EQ(bytes[i], 0) << i;
    }
    // Played to its end before the device is reset and closed.
    EXPECT_EQ(Log().NamesFrom(2),
              (std::vector<std::string>{"Prepare", "Write", "Unprepare", "Unprepare", "Unprepare",
                                        "Reset", "Close"}));
    EXPECT_THAT(Log().Faults(), testing::IsEmpty());
}

TEST_F(WaveOutputTest, TenToNineteenFramesHandOverTheHeldBufferAtTheEnd) {
    {
        auto pOutput = Open(2, kLayer2);
        CFrameSource source(*pOutput);
        source.Frames(10, kLayer2, 2);
        EXPECT_EQ(Writes(), 0);
    }
    ASSERT_EQ(Log().submitted.size(), 1u);
    EXPECT_EQ(Le16(Log().submitted[0].bytes, 46076), SampleValue(0, 11519));

    Log().submitted.clear();
    Log().calls.clear();
    {
        auto pOutput = Open(2, kLayer2);
        CFrameSource source(*pOutput);
        source.Frames(15, kLayer2, 2);
        EXPECT_EQ(Writes(), 0);
    }
    ASSERT_EQ(Log().submitted.size(), 2u);
    EXPECT_EQ(Le16(Log().submitted[0].bytes, 0), SampleValue(0, 0));
    EXPECT_EQ(Le16(Log().submitted[1].bytes, 0), SampleValue(0, 11520));
    EXPECT_EQ(Le16(Log().submitted[1].bytes, 5 * 4608), 0);
}

TEST_F(WaveOutputTest, SmoothPlaybackKeepsEveryOtherSampleAtHalfTheRate) {
    {
        auto pOutput = Open(2, kLayer2, 44100, true);
        CFrameSource source(*pOutput);
        source.Frames(20, kLayer2, 2);
        EXPECT_EQ(Log().format.nSamplesPerSec, 22050u);
    }
    ASSERT_EQ(Log().submitted.size(), 2u);
    for (int nBuffer = 0; nBuffer < 2; ++nBuffer) {
        const auto& bytes = Log().submitted[nBuffer].bytes;
        ASSERT_EQ(bytes.size(), 23040u);
        for (int i = 0; i < 5760; ++i) {
            const int nKept = nBuffer * 11520 + 2 * i;
            ASSERT_EQ(Le16(bytes, 4 * i), SampleValue(0, nKept)) << i;
            ASSERT_EQ(Le16(bytes, 4 * i + 2), SampleValue(1, nKept)) << i;
        }
    }
}

TEST_F(WaveOutputTest, StopWhileWaitingReturnsAtOnceAndCutsTheSoundOff) {
    Log().script.nPlayPolls = -1;  // nothing ever finishes
    auto pOutput = Open(2, kLayer2);
    CFrameSource source(*pOutput);
    source.Frames(39, kLayer2, 2);

    std::atomic<bool> bStopped{false};
    std::chrono::steady_clock::time_point tStop;
    std::thread stopper([&] {
        std::this_thread::sleep_for(std::chrono::milliseconds(100));
        tStop = std::chrono::steady_clock::now();
        bStopped = true;
        m_bStop = true;
    });
    EXPECT_EQ(source.Frame(kLayer2, 2), 0);
    const auto tReturn = std::chrono::steady_clock::now();
    stopper.join();
    ASSERT_TRUE(bStopped.load());
    // The whole wait would be half a second; a stop ends it after one poll.
    EXPECT_LT(tReturn - tStop, std::chrono::milliseconds(300));

    const std::size_t nBefore = Log().calls.size();
    pOutput.reset();
    EXPECT_EQ(Log().NamesFrom(nBefore), (std::vector<std::string>{"Reset", "Close"}));
    EXPECT_THAT(Log().Faults(), testing::IsEmpty());
}

TEST_F(WaveOutputTest, StopBeforeTheEndSkipsThePlayOut) {
    auto pOutput = Open(2, kLayer2);
    CFrameSource source(*pOutput);
    source.Frames(25, kLayer2, 2);
    m_bStop = true;
    const std::size_t nBefore = Log().calls.size();
    pOutput.reset();
    EXPECT_EQ(Log().NamesFrom(nBefore), (std::vector<std::string>{"Reset", "Close"}));
}

TEST_F(WaveOutputTest, OpeningFailureWarnsTwiceAndDecodingRunsOnWithoutTheDevice) {
    Log().script.nQueryResult = WAVERR_BADFORMAT;
    Log().script.nOpenResult = MMSYSERR_ALLOCATED;
    {
        auto pOutput = Open(2, kLayer2);
        CFrameSource source(*pOutput);
        for (int i = 0; i < 60; ++i) {
            ASSERT_EQ(source.Frame(kLayer2, 2), 1);
        }
    }
    EXPECT_EQ(m_presenter.Texts(),
              (std::vector<std::string>{
                  kFormatWarning, "sound device " + GetWaveDeviceName() + ": " + kOpenWarning}));
    EXPECT_EQ(m_presenter.Messages()[1].nKind, MSG_WARNING);
    // A device that did not open is never used again.
    EXPECT_EQ(Log().NamesFrom(0), (std::vector<std::string>{"QueryFormat", "Open"}));
}

// With no device at all, nothing says it is busy.
TEST_F(WaveOutputTest, NoDeviceAtAllIsAnOpeningFailure) {
    m_devices.InstallNoDevice();
    {
        auto pOutput = Open(1, kLayer1);
        CFrameSource source(*pOutput);
        source.Frames(45, kLayer1, 1);
    }
    ASSERT_EQ(m_presenter.Texts().size(), 1u);
    EXPECT_TRUE(m_presenter.Texts()[0].ends_with(": Wave device open failed!"))
        << m_presenter.Texts()[0];
}

TEST_F(WaveOutputTest, ADeviceThatTellsTheTimeLeftIsAwaitedInLongSleepsWithinTheSameBound) {
    Log().script.nPlayPolls = -1;  // nothing ever finishes
    Log().script.nTimeLeftMs = 120;
    auto pOutput = Open(2, kLayer2);
    CFrameSource source(*pOutput);
    source.Frames(39, kLayer2, 2);
    const std::size_t nBefore = Log().Count("Unprepare");
    const auto tStart = std::chrono::steady_clock::now();
    source.Frame(kLayer2, 2);
    const auto elapsed = std::chrono::steady_clock::now() - tStart;
    // Sleeps of 4 steps (the 40 ms that keeps a seek prompt), twelve times,
    // and 2 make the bound of 50: fourteen asks instead of fifty-one, and
    // still about half a second.
    EXPECT_EQ(Log().Count("Unprepare") - nBefore, 14);
    EXPECT_GE(elapsed, std::chrono::milliseconds(490));
    EXPECT_THAT(Log().Faults(), testing::IsEmpty());
}

TEST_F(WaveOutputTest, AStopCutsALongSleepShortOnTheWorker) {
    Log().script.nPlayPolls = -1;
    Log().script.nTimeLeftMs = 5000;
    std::atomic<int32_t> nEndFrame{1};
    std::atomic<bool> bSleeping{false};
    CWorkerThread worker([&] {
        auto pOutput = Open(2, kLayer2);
        CFrameSource source(*pOutput);
        source.Frames(39, kLayer2, 2);
        bSleeping = true;
        nEndFrame = source.Frame(kLayer2, 2);
    });
    while (!bSleeping) {
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
    std::this_thread::sleep_for(std::chrono::milliseconds(50));
    const auto tStop = std::chrono::steady_clock::now();
    m_bStop = true;
    worker.Interrupt();
    ASSERT_TRUE(worker.WaitForEnd(3000));
    EXPECT_LT(std::chrono::steady_clock::now() - tStop, std::chrono::milliseconds(1000));
    EXPECT_EQ(nEndFrame.load(), 0);
}

TEST_F(WaveOutputTest, BusyDeviceIsRetriedThreeTimesWhilePrimingAndFiftyLater) {
    Log().script.nBusyPrepares = 10;
    auto pOutput = Open(2, kLayer2);
    CFrameSource source(*pOutput);
    source.Frames(20, kLayer2, 2);
    // Four tries for each of the two buffers, then the answer is ignored.
    EXPECT_EQ(Log().Count("Prepare"), 8);
    EXPECT_EQ(Writes(), 2);
    source.Frames(10, kLayer2, 2);
    EXPECT_EQ(Log().Count("Prepare"), 11);

    Log().script.nBusyWrites = 60;
    source.Frames(10, kLayer2, 2);
    EXPECT_EQ(Writes(), 3 + 51);
}

TEST_F(WaveOutputTest, StopWhileTheDeviceIsBusyGivesUpAtOnce) {
    Log().script.nBusyPrepares = 1000;
    auto pOutput = Open(2, kLayer2);
    CFrameSource source(*pOutput);
    source.Frames(19, kLayer2, 2);
    m_bStop = true;
    EXPECT_EQ(source.Frame(kLayer2, 2), 0);
    EXPECT_EQ(Log().Count("Prepare"), 1);
    // After giving up, nothing more reaches the device until destruction.
    EXPECT_EQ(source.Frame(kLayer2, 2), 0);
    EXPECT_EQ(Log().Count("Prepare"), 1);
}

// Later frames of another layer than the first: more samples than the buffer
// was sized for never reach past it, fewer leave no stale tail.
TEST_F(WaveOutputTest, FramesOfAnotherLayerStayInsideTheBuffers) {
    {
        auto pOutput = Open(2, kLayer1);
        CFrameSource source(*pOutput);
        source.Frames(30, kLayer2, 2);
    }
    for (const auto& buffer : Log().submitted) {
        EXPECT_LE(buffer.bytes.size(), 15360u);
    }
    ASSERT_FALSE(Log().submitted.empty());
    EXPECT_EQ(Le16(Log().submitted[0].bytes, 15356), SampleValue(0, 3839));

    Log().submitted.clear();
    {
        auto pOutput = Open(2, kLayer2);
        CFrameSource source(*pOutput);
        source.Frames(40, kLayer2, 2);  // every buffer once full of sound
        source.Frames(20, kLayer1, 2);
    }
    ASSERT_EQ(Log().submitted.size(), 6u);
    for (std::size_t i = 4; i < 6; ++i) {
        const auto& bytes = Log().submitted[i].bytes;
        ASSERT_EQ(bytes.size(), 15360u) << i;
        EXPECT_EQ(Le16(bytes, 15356), SampleValue(0, 46080 + (i - 4) * 3840 + 3839)) << i;
    }
}

TEST_F(WaveOutputTest, FramesOfOneChannelLeaveSilenceInTheOther) {
    {
        auto pOutput = Open(2, kLayer2);
        CFrameSource source(*pOutput);
        source.Frames(40, kLayer2, 2);
        source.Frames(25, kLayer2, 1);
    }
    ASSERT_EQ(Log().submitted.size(), 7u);
    for (std::size_t nBuffer = 4; nBuffer < 7; ++nBuffer) {
        const auto& bytes = Log().submitted[nBuffer].bytes;
        for (std::size_t i = 0; i < 11520; ++i) {
            ASSERT_EQ(Le16(bytes, 4 * i + 2), 0) << nBuffer << " " << i;
        }
        EXPECT_NE(Le16(bytes, 0), 0) << nBuffer;
    }
}

// A device that never gives its buffers back: each is left with it, the
// ring takes fresh blocks up to a bound and then drops the sound; nothing it
// holds is written into, and a stop still ends the wait at once.
TEST_F(WaveOutputTest, BufferStillPlayingAfterTheWaitIsNeverWrittenInto) {
    Log().script.nPlayPolls = -1;
    auto pOutput = Open(2, kLayer2);
    CFrameSource source(*pOutput);
    source.Frames(80, kLayer2, 2);
    const int nWrites = Writes();
    source.Frames(10, kLayer2, 2);
    EXPECT_EQ(Writes(), nWrites);  // the sound of these frames is dropped

    std::set<const uint8_t*> blocks;
    for (const auto& buffer : Log().submitted) {
        blocks.insert(buffer.pData);
    }
    EXPECT_LE(blocks.size(), 4 + CWaveOutput::kMaxHeldBuffers);
    EXPECT_EQ(blocks.size(), Log().submitted.size());

    EXPECT_LE(Log().nMostHeld, 4 + CWaveOutput::kMaxHeldBuffers);

    m_bStop = true;
    int32_t nResult = 1;
    for (int i = 0; i < 10; ++i) {
        nResult = source.Frame(kLayer2, 2);
    }
    EXPECT_EQ(nResult, 0);
    pOutput.reset();
    EXPECT_THAT(Log().Faults(), testing::IsEmpty());
    EXPECT_EQ(Log().calls.back().strName, "Close");
}

// A buffer that comes back only after the wait is taken back into use once
// the device has finished with it; no sound is lost or overwritten.
TEST_F(WaveOutputTest, BufferReturnedLateIsTakenBackIntoUse) {
    Log().script.nPlayPolls = 51;  // one more answer than a wait asks for
    {
        auto pOutput = Open(1, kLayer1);
        CFrameSource source(*pOutput);
        source.Frames(60, kLayer1, 1);
    }
    ASSERT_EQ(Log().submitted.size(), 6u);
    for (std::size_t i = 0; i < 6; ++i) {
        EXPECT_EQ(Le16(Log().submitted[i].bytes, 0), SampleValue(0, static_cast<int>(i) * 3840));
    }
    EXPECT_LE(Log().nMostHeld, 5u);
    EXPECT_THAT(Log().Faults(), testing::IsEmpty());
}

// Through the real WAV file device: two runs of one stream (as loop play
// makes them) end up in the file whole, each with its padded last buffer.
TEST(WaveOutputOnWavDevice, EveryRunReachesTheFileWhole) {
    CRecordingPresenter presenter;
    CTempDir dir;
    const std::string strPath = dir.File("played.wav");
    SetWaveDeviceName("wav:" + strPath);
    for (int nRun = 0; nRun < 2; ++nRun) {
        CWaveOutput output({1, 32000, 1152}, false, {}, presenter.Reporter());
        CFrameSource source(output);
        for (int i = 0; i < 25; ++i) {
            ASSERT_EQ(source.Frame(kLayer2, 1), 1);
        }
    }
    SetWaveDeviceName("");
    EXPECT_TRUE(presenter.Messages().empty());

    const auto bytes = ReadFileBytes(strPath);
    constexpr std::size_t kRunBytes = 30 * 1152 * 2;  // three buffers
    ASSERT_EQ(bytes.size(), 44 + 2 * kRunBytes);
    for (std::size_t nRun = 0; nRun < 2; ++nRun) {
        const std::size_t nStart = 44 + nRun * kRunBytes;
        for (int i = 0; i < 25 * 1152; ++i) {
            ASSERT_EQ(Le16(bytes, nStart + 2 * static_cast<std::size_t>(i)), SampleValue(0, i))
                << nRun << " " << i;
        }
        for (std::size_t i = 25 * 1152 * 2; i < kRunBytes; ++i) {
            ASSERT_EQ(bytes[nStart + i], 0) << nRun << " " << i;
        }
    }
}

}  // namespace
