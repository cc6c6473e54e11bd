// The real document and worker playing whole streams into the WAV file and
// ALSA file devices: what reaches the file is exactly the decoded PCM, through
// pauses, stops, seeks and loop play.
#include <gtest/gtest.h>

#include <chrono>

#include "platform/wave_device.h"
#include "player/control_block.h"
#include "player/corvina_doc.h"
#include "player/playback_control.h"
#include "resources/resource_ids.h"
#include "tests/player/player_test_support.h"
#include "tests/support/pcm_samples.h"
#include "tests/support/recording_presenter.h"
#include "tests/support/stream_builder.h"
#include "tests/support/temp_dir.h"

using namespace corvina;

namespace {

constexpr std::size_t kStereoFrame = 1152 * 2;  // interleaved samples of one Layer II frame

class PlaybackTest : public testing::Test {
  protected:
    void SetUp() override { Reset(); }
    void Reset() {
        ResetControlBlock();
        m_slider.Attach();
    }
    void TearDown() override { SetWaveDeviceName(""); }

    // Plays into a WAV file of its own from now on.
    std::string PlayInto(const std::string& strName) {
        const std::string strPath = m_dir.File(strName);
        SetWaveDeviceName("wav:" + strPath);
        return strPath;
    }
    // The sample, decoded, as the wave output plays it.
    std::vector<int16_t> SamplePcm(int* pChannels = nullptr) {
        return DecodedPcm(SamplePath(), pChannels);
    }

    CRecordingPresenter m_presenter;
    CTestSlider m_slider;
    CTempDir m_dir;
};

TEST_F(PlaybackTest, PausedAndResumedOnTheWayTheFileHoldsExactlyTheDecodedPcmAndPadding) {
    int nChannels = 0;
    const std::vector<int16_t> pcm = SamplePcm(&nChannels);
    ASSERT_EQ(nChannels, 2);
    ASSERT_GT(pcm.size(), 700 * kStereoFrame);
    const std::string strOut = PlayInto("paused.wav");

    CCorvinaDoc document;
    ASSERT_TRUE(document.OpenDocument(SamplePath()));
    const std::vector<int> pauses = {3, 10, 11, 35, 60, 85, 97};
    m_slider.StopWorkerWhen(AtPercent(pauses[0]));
    ASSERT_TRUE(document.ExecuteCommand(ID_PLAY_PLAYBACK));
    for (std::size_t i = 0; i < pauses.size(); ++i) {
        SCOPED_TRACE(pauses[i]);
        ASSERT_TRUE(PauseAtGate(document, m_slider,
                                i + 1 < pauses.size() ? AtPercent(pauses[i + 1]) : nullptr));
        EXPECT_EQ(g_bLoopPlay, 0);
        ASSERT_TRUE(document.ExecuteCommand(ID_PLAY_PLAYBACK));
        // Until the next gate the worker plays on; after the last it may end.
        if (i + 1 < pauses.size()) {
            EXPECT_EQ(g_nPlayState, PLAY_RESUMED);
        }
    }
    ASSERT_TRUE(WaitForWorkerEnd());
    EXPECT_EQ(g_nPlayState, PLAY_ENDED);

    const CWavContents wav = ReadWav(strOut);
    ASSERT_TRUE(wav.bValid);
    EXPECT_EQ(wav.nChannels, 2);
    EXPECT_EQ(wav.nSampleRate, 44100u);
    const std::vector<int16_t> expected = PaddedToBuffers(pcm, 2);
    EXPECT_EQ(wav.samples.size(), expected.size());
    EXPECT_EQ(FirstDifference(wav.samples, expected), -1);
    // The worker reported its way forward only: no part was played twice.
    const std::vector<int> positions = m_slider.WorkerPositions();
    ASSERT_FALSE(positions.empty());
    EXPECT_TRUE(std::is_sorted(positions.begin(), positions.end()));
    EXPECT_GE(positions.back(), 97);
}

// Shorter than two buffers and of the other layer and channel count: from
// the first sample, once, one padded buffer at the end.
TEST_F(PlaybackTest, ShortMonoLayer1StreamPlaysFromItsFirstSampleOnce) {
    for (int nFrames : {1, 9, 25}) {
        SCOPED_TRACE(nFrames);
        Reset();
        const std::string strStream =
            m_dir.Write("mono" + std::to_string(nFrames) + ".mp1", VariedLayer1MonoStream(nFrames));
        int nChannels = 0;
        const std::vector<int16_t> pcm = DecodedPcm(strStream, &nChannels);
        ASSERT_EQ(nChannels, 1);
        ASSERT_EQ(pcm.size(), static_cast<std::size_t>(nFrames) * 384);
        const std::string strOut = PlayInto("mono" + std::to_string(nFrames) + ".wav");

        CCorvinaDoc document;
        ASSERT_TRUE(document.OpenDocument(strStream));
        ASSERT_TRUE(document.ExecuteCommand(ID_PLAY_PLAYBACK));
        ASSERT_TRUE(WaitForWorkerEnd());
        const CWavContents wav = ReadWav(strOut);
        ASSERT_TRUE(wav.bValid);
        EXPECT_EQ(wav.nChannels, 1);
        EXPECT_EQ(FirstDifference(wav.samples, PaddedToBuffers(pcm, 1, 1)), -1);
    }
}

TEST_F(PlaybackTest, FastForwardToTheEndThenPlayStartsAtTheBeginning) {
    const std::string strOut = PlayInto("from100.wav");
    CCorvinaDoc document;
    ASSERT_TRUE(document.OpenDocument(SamplePath()));
    for (int i = 0; i < 21; ++i) {
        ASSERT_TRUE(document.ExecuteCommand(ID_PLAY_FAST_FORWARD));
    }
    ASSERT_EQ(g_nPosition, 100);
    ASSERT_TRUE(document.ExecuteCommand(ID_PLAY_PLAYBACK));
    ASSERT_TRUE(WaitForWorkerEnd());
    ASSERT_FALSE(m_slider.WorkerPositions().empty());
    EXPECT_EQ(m_slider.WorkerPositions().front(), 0);
    EXPECT_EQ(FirstDifference(ReadWav(strOut).samples, PaddedToBuffers(SamplePcm(), 2)), -1);
}

TEST_F(PlaybackTest, StopCutsThePcmOffAfterWholeBuffersAndLeavesTheSliderWhereItWas) {
    const std::vector<int16_t> pcm = SamplePcm();
    const std::string strOut = PlayInto("stopped.wav");
    CCorvinaDoc document;
    ASSERT_TRUE(document.OpenDocument(SamplePath()));
    m_slider.StopWorkerWhen(AtPercent(50));
    ASSERT_TRUE(document.ExecuteCommand(ID_PLAY_PLAYBACK));
    ASSERT_TRUE(m_slider.WaitForStoppedWorker());
    ASSERT_TRUE(document.ExecuteCommand(ID_PLAY_STOP));
    EXPECT_EQ(g_nPlayState, PLAY_STOPPING);  // the worker stands in its report
    EXPECT_EQ(g_nPosition, 0);
    m_slider.LetGo();
    ASSERT_TRUE(WaitForWorkerEnd());
    EXPECT_EQ(g_nPlayState, PLAY_ENDED);
    EXPECT_EQ(g_pDecoder.load(), nullptr);
    EXPECT_EQ(m_slider.GetPosition(), 50);

    const std::vector<int16_t> played = ReadWav(strOut).samples;
    EXPECT_GT(played.size(), pcm.size() / 3);
    EXPECT_LT(played.size(), pcm.size() * 2 / 3);
    EXPECT_EQ(played.size() % BufferSamples(2), 0u);
    EXPECT_TRUE(IsPrefix(played, pcm));
}

// Each run start reports its position; the third start stops the loop, so
// exactly two whole runs reach the file.
TEST_F(PlaybackTest, LoopPlayRepeatsTheStreamWholeAndRestartsAtOnce) {
    const std::string strStream = SampleCut(m_dir, 60000, "cut.mp2");
    const std::vector<int16_t> pcm = PaddedToBuffers(DecodedPcm(strStream), 2);
    ASSERT_FALSE(pcm.empty());
    const std::string strOut = PlayInto("loop.wav");
    CCorvinaDoc document;
    ASSERT_TRUE(document.OpenDocument(strStream));
    // The first run's start report is let through; the gate then waits for
    // the start of the next run.
    auto fnRunStart = [] {
        return [bSeenFirst = false](int nPosition) mutable {
            const bool bRestart = nPosition == 0 && bSeenFirst;
            bSeenFirst = true;
            return bRestart;
        };
    };
    m_slider.StopWorkerWhen(fnRunStart());
    ASSERT_TRUE(document.ExecuteCommand(ID_PLAY_LOOP));
    const auto tFirstRun = std::chrono::steady_clock::now();
    for (int nRun = 2; nRun <= 3; ++nRun) {
        SCOPED_TRACE(nRun);
        ASSERT_TRUE(m_slider.WaitForStoppedWorker());
        EXPECT_EQ(g_nPlayState, PLAY_STARTED);
        EXPECT_EQ(g_bLoopPlay, 1);
        EXPECT_NE(g_pDecoder.load(), nullptr);
        if (nRun == 3) {
            ASSERT_TRUE(document.ExecuteCommand(ID_PLAY_STOP));
        } else {
            m_slider.StopWorkerWhen([](int nPosition) { return nPosition == 0; });
        }
        m_slider.LetGo();
    }
    // A restart that waited for an answer to the start handshake would take
    // two seconds each; the runs themselves take milliseconds.
    EXPECT_LT(std::chrono::steady_clock::now() - tFirstRun, std::chrono::milliseconds(3500));
    ASSERT_TRUE(WaitForWorkerEnd());
    EXPECT_EQ(g_bLoopPlay, 0);

    const std::vector<int16_t> played = ReadWav(strOut).samples;
    ASSERT_EQ(played.size(), 2 * pcm.size());
    EXPECT_EQ(
        FirstDifference({played.begin(), played.begin() + static_cast<long>(pcm.size())}, pcm), -1);
    EXPECT_EQ(FirstDifference({played.begin() + static_cast<long>(pcm.size()), played.end()}, pcm),
              -1);
}

// A start at 15 percent plays the frames from there on to the end, each one
// as the whole-file decode has it.
TEST_F(PlaybackTest, ThreeFastForwardsBeforePlayStartAtFifteenPercent) {
    const std::vector<int16_t> pcm = SamplePcm();
    const std::string strOut = PlayInto("from15.wav");
    CCorvinaDoc document;
    ASSERT_TRUE(document.OpenDocument(SamplePath()));
    for (int i = 0; i < 3; ++i) {
        document.ExecuteCommand(ID_PLAY_FAST_FORWARD);
    }
    EXPECT_EQ(g_nPosition, 15);
    EXPECT_EQ(m_slider.GetPosition(), 15);
    ASSERT_TRUE(document.ExecuteCommand(ID_PLAY_PLAYBACK));
    ASSERT_TRUE(WaitForWorkerEnd());
    ASSERT_FALSE(m_slider.WorkerPositions().empty());
    EXPECT_EQ(m_slider.WorkerPositions().front(), 15);

    // The file's first frame, which Initialize read, is not heard: what plays
    // is the whole-file decode from 15 percent of its samples on, the filters
    // warmed by the frames before it.
    const std::size_t nStart = pcm.size() / 2 * 15 / 100;
    EXPECT_TRUE(PlaysTail(ReadWav(strOut).samples, 0, pcm, 2 * nStart));
}

// A seek asked for while the worker is held is carried out in its first
// pass after the release; the frame in hand still plays whole.
TEST_F(PlaybackTest, SeeksWhileHeldGoOnFromTheNewPositionAfterTheRelease) {
    const std::vector<int16_t> pcm = SamplePcm();
    const std::size_t nFrames = pcm.size() / kStereoFrame;
    struct CCase {
        int nPauseAt;
        int nCommand;
        int nPresses;
        int nTarget;
    };
    for (const CCase& c :
         {CCase{20, ID_PLAY_FAST_FORWARD, 1, 25}, CCase{40, ID_PLAY_REWIND, 1, 30},
          CCase{97, ID_PLAY_FAST_FORWARD, 2, 100}, CCase{8, ID_PLAY_REWIND, 1, 0}}) {
        SCOPED_TRACE(c.nTarget);
        Reset();
        const std::string strOut = PlayInto("seek" + std::to_string(c.nTarget) + ".wav");
        CCorvinaDoc document;
        ASSERT_TRUE(document.OpenDocument(SamplePath()));
        m_slider.StopWorkerWhen(AtPercent(c.nPauseAt));
        ASSERT_TRUE(document.ExecuteCommand(ID_PLAY_PLAYBACK));
        ASSERT_TRUE(PauseAtGate(document, m_slider));
        for (int i = 0; i < c.nPresses; ++i) {
            ASSERT_TRUE(document.ExecuteCommand(c.nCommand));
        }
        EXPECT_EQ(g_nPosition, c.nTarget);
        EXPECT_EQ(m_slider.GetPosition(), c.nTarget);
        ASSERT_TRUE(document.ExecuteCommand(ID_PLAY_PLAYBACK));
        ASSERT_TRUE(WaitForWorkerEnd());

        const std::vector<int16_t> played = ReadWav(strOut).samples;
        const long nCommon = FirstDifference(played, pcm);
        ASSERT_GE(nCommon, 0);
        const std::size_t nBreak = static_cast<std::size_t>(nCommon) / kStereoFrame;
        const double dBreak = static_cast<double>(nBreak) / static_cast<double>(nFrames);
        EXPECT_NEAR(dBreak, c.nPauseAt / 100.0, 0.015);
        if (c.nTarget == 100) {
            // Nothing lies past the end: the stream ends after the frame in hand.
            EXPECT_LE(played.size() - nBreak * kStereoFrame, BufferSamples(2) + kStereoFrame);
            continue;
        }
        // From the first frame that differs on (the one after the frame in
        // hand), the whole-file decode from the target's sample on, without
        // a click.
        const std::size_t nTarget = pcm.size() / 2 * static_cast<std::size_t>(c.nTarget) / 100;
        EXPECT_TRUE(PlaysTail(played, nBreak * kStereoFrame, pcm, 2 * nTarget));
    }
}

// ALSA's own file plugin stands in for a sound card.
TEST_F(PlaybackTest, ThroughAlsaTheFilePluginReceivesExactlyTheDecodedPcm) {
    const std::string strStream = SampleCut(m_dir, 50000, "cut.mp2");
    const std::vector<int16_t> pcm = PaddedToBuffers(DecodedPcm(strStream), 2);
    ASSERT_GT(pcm.size(), 4 * BufferSamples(2));
    const std::string strOut = m_dir.File("alsa.raw");
    SetWaveDeviceName("alsa:file:'" + strOut + "',raw");
    CCorvinaDoc document;
    ASSERT_TRUE(document.OpenDocument(strStream));
    m_slider.StopWorkerWhen(AtPercent(50));
    ASSERT_TRUE(document.ExecuteCommand(ID_PLAY_PLAYBACK));
    ASSERT_TRUE(PauseAtGate(document, m_slider));
    ASSERT_TRUE(document.ExecuteCommand(ID_PLAY_PLAYBACK));
    ASSERT_TRUE(WaitForWorkerEnd());
    EXPECT_EQ(m_presenter.Messages().size(), 0u);
    const std::vector<int16_t> played = RawSamples(ReadFileBytes(strOut));
    EXPECT_EQ(played.size(), pcm.size());
    EXPECT_EQ(FirstDifference(played, pcm), -1);
}

}  // namespace
