// The engine events of a real worker: what a front end hears of a whole
// stream, of a pause and stop, and of a stream that is not audio.
#include "player/engine_events.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <mutex>
#include <thread>
#include <vector>

#include "decoder/audio_decoder.h"
#include "platform/wave_device.h"
#include "player/control_block.h"
#include "player/corvina_doc.h"
#include "player/playback_control.h"
#include "resources/resource_ids.h"
#include "tests/player/player_test_support.h"
#include "tests/support/recording_presenter.h"
#include "tests/support/recording_sink.h"
#include "tests/support/temp_dir.h"

using namespace corvina;

namespace {

// Keeps every event; listens for its lifetime.
class CRecordingListener : public CEngineListener {
  public:
    struct CEvent {
        char cKind;  // 's' state, 'p' position, 'd' decoder
        int nValue;
        float fPlayingTime;
    };
    CRecordingListener() { AddEngineListener(this); }
    ~CRecordingListener() override { RemoveEngineListener(this); }

    void OnPlayStateChanged(int nState) override { Add({'s', nState, 0}); }
    void OnPositionChanged(int nPosition) override { Add({'p', nPosition, 0}); }
    void OnDecoderChanged(bool bHasDecoder, float fPlayingTime) override {
        Add({'d', bHasDecoder ? 1 : 0, fPlayingTime});
    }

    std::vector<CEvent> Events() const {
        std::lock_guard<std::mutex> lock(m_lock);
        return m_events;
    }
    std::vector<int> Values(char cKind) const {
        std::vector<int> values;
        for (const CEvent& event : Events()) {
            if (event.cKind == cKind) {
                values.push_back(event.nValue);
            }
        }
        return values;
    }

  private:
    void Add(const CEvent& event) {
        std::lock_guard<std::mutex> lock(m_lock);
        m_events.push_back(event);
    }
    mutable std::mutex m_lock;
    std::vector<CEvent> m_events;
};

class EngineEventsTest : public testing::Test {
  protected:
    void SetUp() override {
        ResetControlBlock();
        m_slider.Attach();
        SetWaveDeviceName("null");
    }
    void TearDown() override { SetWaveDeviceName(""); }

    CRecordingPresenter m_presenter;
    CTestSlider m_slider;
    CTempDir m_dir;
};

TEST_F(EngineEventsTest, AWholeStreamIsToldFromStartToEnd) {
    SetWaveDeviceName("wav:" + m_dir.File("out.wav"));
    CCorvinaDoc document;
    ASSERT_TRUE(document.OpenDocument(SampleCut(m_dir, 60000, "cut.mp2")));
    CRecordingListener listener;
    ASSERT_TRUE(document.ExecuteCommand(ID_PLAY_PLAYBACK));
    ASSERT_TRUE(WaitForWorkerEnd());

    EXPECT_EQ(listener.Values('s'), (std::vector<int>{PLAY_STARTED, PLAY_ENDED}));
    // The decoder comes with its playing time (60000 bytes at 192 kbit/s)
    // and goes before the end is told.
    const std::vector<CRecordingListener::CEvent> events = listener.Events();
    ASSERT_EQ(listener.Values('d'), (std::vector<int>{1, 0}));
    for (const auto& event : events) {
        if (event.cKind == 'd' && event.nValue == 1) {
            EXPECT_NEAR(event.fPlayingTime, 2.5f, 0.1f);
        }
    }
    EXPECT_EQ(events.back().cKind, 's');
    // Whole percents, each once, up to the end of the stream.
    const std::vector<int> positions = listener.Values('p');
    ASSERT_FALSE(positions.empty());
    EXPECT_EQ(positions.front(), 0);
    EXPECT_TRUE(std::is_sorted(positions.begin(), positions.end()));
    EXPECT_EQ(std::adjacent_find(positions.begin() + 1, positions.end()), positions.end());
    EXPECT_GE(positions.back(), 95);
}

TEST_F(EngineEventsTest, PauseAndStopAreToldAndARemovedListenerHearsNoMore) {
    CCorvinaDoc document;
    ASSERT_TRUE(document.OpenDocument(SamplePath()));
    CRecordingListener listener;
    m_slider.StopWorkerWhen(AtPercent(2));
    ASSERT_TRUE(document.ExecuteCommand(ID_PLAY_PLAYBACK));
    ASSERT_TRUE(PauseAtGate(document, m_slider));
    ASSERT_TRUE(document.ExecuteCommand(ID_PLAY_FAST_FORWARD));
    EXPECT_EQ(listener.Values('p').back(), g_nPosition.load());
    {
        CRecordingListener later;
        ASSERT_TRUE(document.ExecuteCommand(ID_PLAY_STOP));
        ASSERT_TRUE(WaitForWorkerEnd());
        // Stopping a paused worker lets it go first.
        EXPECT_EQ(later.Values('s'), (std::vector<int>{PLAY_RESUMED, PLAY_STOPPING, PLAY_ENDED}));
    }
    const std::vector<int> states = listener.Values('s');
    ASSERT_GE(states.size(), 2u);
    EXPECT_EQ(states[1], PLAY_PAUSED);
    EXPECT_EQ(states.back(), PLAY_ENDED);
}

TEST_F(EngineEventsTest, AStreamThatIsNoAudioIsToldInvalidWithoutADecoderComing) {
    CCorvinaDoc document;
    ASSERT_TRUE(document.OpenDocument(m_dir.Write("notes.txt", {'n', 'o', 't', ' ', 'm', 'p'})));
    CRecordingListener listener;
    ASSERT_TRUE(document.ExecuteCommand(ID_PLAY_PLAYBACK));
    ASSERT_TRUE(WaitForWorkerEnd());
    EXPECT_EQ(listener.Values('s'), (std::vector<int>{PLAY_STARTED, PLAY_INVALID}));
    EXPECT_EQ(listener.Values('d'), std::vector<int>{0});
    EXPECT_EQ(m_presenter.Count("Invalid Audio Stream"), 1);
}

TEST_F(EngineEventsTest, AWalkEndingInTheBackgroundTellsTheDecoderAgainWithItsTime) {
    // A variable-bitrate stream, then zeros past the walk's budget: it starts
    // on the first bitrate over the whole file, and the walk's count follows.
    const std::vector<uint8_t> bytes =
        ReadFileBytes(std::string(CORVINA_SOURCE_DIR) + "/tests/streams/twolame-48k-vbr.mp2");
    const std::string strPath = m_dir.File("long.mp2");
    if (!WriteSparseFile(strPath, 2 * CAudioDecoder::kWalkBudget, {{0, bytes}})) {
        GTEST_SKIP() << "the file system cannot hold a sparse file here";
    }
    const double dLength = DecodeBytes(bytes).nFrames * 1152.0 / 48000.0;
    CCorvinaDoc document;
    ASSERT_TRUE(document.OpenDocument(strPath));
    CRecordingListener listener;
    ASSERT_TRUE(document.ExecuteCommand(ID_PLAY_PLAYBACK));
    const auto Told = [&] {
        std::vector<float> times;
        for (const auto& event : listener.Events()) {
            if (event.cKind == 'd' && event.nValue == 1) {
                times.push_back(event.fPlayingTime);
            }
        }
        return times;
    };
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(60);
    while (Told().size() < 2 && IsWorkerRunning() && std::chrono::steady_clock::now() < deadline) {
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
    EXPECT_EQ(g_bSeekable.load(), 1);
    ASSERT_TRUE(document.ExecuteCommand(ID_PLAY_STOP));
    ASSERT_TRUE(WaitForWorkerEnd());
    const std::vector<float> times = Told();
    ASSERT_EQ(times.size(), 2u);
    EXPECT_GT(times[0], 10 * dLength);
    EXPECT_NEAR(times[1], dLength, 1152.0 / 48000.0);
}

}  // namespace
