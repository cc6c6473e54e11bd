// Thousands of random commands against the real document and worker on the
// null device, with a watchdog that fails the run when a command hangs.
#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <random>
#include <string>
#include <thread>

#include "platform/wave_device.h"
#include "player/control_block.h"
#include "player/corvina_doc.h"
#include "player/playback_control.h"
#include "resources/resource_ids.h"
#include "tests/player/player_test_support.h"
#include "tests/support/recording_presenter.h"
#include "tests/support/temp_dir.h"

using namespace corvina;

namespace {

using CClock = std::chrono::steady_clock;

constexpr int kOpen = -1;  // not a command of the table: opens one of the files

// A few seconds in the normal build, well under a minute under ThreadSanitizer.
constexpr int kDefaultCommands = 2500;

int CommandCount() {
    const char* pszCount = std::getenv("CORVINA_STRESS_COMMANDS");
    const int nCount = pszCount != nullptr ? std::atoi(pszCount) : 0;
    return nCount > 0 ? nCount : kDefaultCommands;
}

// Aborts the whole run, with the command that hung, when one command takes
// longer than the bound; a hang would otherwise only show as a test timeout.
class CWatchdog {
  public:
    explicit CWatchdog(std::chrono::seconds bound) : m_bound(bound) {
        m_thread = std::thread([this] { Watch(); });
    }
    ~CWatchdog() {
        m_bQuit = true;
        m_thread.join();
    }
    CWatchdog(const CWatchdog&) = delete;
    CWatchdog& operator=(const CWatchdog&) = delete;

    void Begin(int nCommand, int nIndex) {
        m_nCommand = nCommand;
        m_nIndex = nIndex;
        m_nStartedNs = CClock::now().time_since_epoch().count();
    }
    void End() { m_nStartedNs = 0; }

  private:
    void Watch() {
        while (!m_bQuit) {
            std::this_thread::sleep_for(std::chrono::milliseconds(50));
            const auto nStarted = m_nStartedNs.load();
            if (nStarted != 0 &&
                CClock::now().time_since_epoch() - CClock::duration(nStarted) > m_bound) {
                std::fprintf(
                    stderr, "watchdog: command %d (number %d) did not return within %lld s\n",
                    m_nCommand.load(), m_nIndex.load(), static_cast<long long>(m_bound.count()));
                std::abort();
            }
        }
    }

    std::chrono::seconds m_bound;
    std::atomic<bool> m_bQuit{false};
    std::atomic<int> m_nCommand{0};
    std::atomic<int> m_nIndex{0};
    std::atomic<CClock::rep> m_nStartedNs{0};
    std::thread m_thread;
};

bool IsTableState(int nState) {
    return nState == PLAY_IDLE || nState == PLAY_STARTED || nState == PLAY_RESUMED ||
           nState == PLAY_STOPPING || nState == PLAY_PAUSED || nState == PLAY_ENDED ||
           nState == PLAY_INVALID;
}

}  // namespace

TEST(PlaybackStress, RandomCommandsNeverHangAndAlwaysLeaveAStateOfTheTable) {
    ResetControlBlock();
    SetWaveDeviceName("null");
    CRecordingPresenter presenter;
    CTestSlider slider;
    slider.Attach();
    CTempDir dir;
    // Streams that end within moments, one that lasts a while, one that is
    // no stream, and one that is not there.
    const std::vector<std::string> files = {
        SampleCut(dir, 3000, "tiny.mp2"), SampleCut(dir, 12000, "short.mp2"),
        SampleCut(dir, 60000, "long.mp2"), dir.Write("text.mp2", {'a', 'b', 'c', '\n'}),
        dir.File("missing.mp2")};
    const int commands[] = {ID_PLAY_PLAYBACK, ID_PLAY_LOOP,           ID_PLAY_PAUSE,
                            ID_PLAY_STOP,     ID_PLAY_FAST_FORWARD,   ID_PLAY_REWIND,
                            ID_AUDIO_SMOOTH,  ID_AUDIO_VOLUME_UP,     ID_AUDIO_VOLUME_DOWN,
                            ID_FILE_CLOSE,    ID_VIEW_BITSTREAM_INFO, kOpen};

    const unsigned nSeed = static_cast<unsigned>(std::random_device{}());
    SCOPED_TRACE(testing::Message() << "seed " << nSeed);
    std::mt19937 random(nSeed);
    std::uniform_int_distribution<std::size_t> pickCommand(0, std::size(commands) - 1);
    std::uniform_int_distribution<std::size_t> pickFile(0, files.size() - 1);
    std::uniform_int_distribution<int> pickPause(0, 3);  // milliseconds before the next command

    const int nCommands = CommandCount();
    int nStateFaults = 0;
    bool bSeen[8] = {};
    {
        CWatchdog watchdog(std::chrono::seconds(10));
        CCorvinaDoc document;
        ASSERT_TRUE(document.OpenDocument(files[1]));
        for (int i = 0; i < nCommands; ++i) {
            const int nCommand = commands[pickCommand(random)];
            watchdog.Begin(nCommand, i);
            if (nCommand == kOpen) {
                document.OpenDocument(files[pickFile(random)]);
            } else {
                document.ExecuteCommand(nCommand);
            }
            watchdog.End();
            const int nState = g_nPlayState;
            if (!IsTableState(nState)) {
                ADD_FAILURE() << "state " << nState << " after command " << nCommand << " (number "
                              << i << ")";
                if (++nStateFaults > 5) {
                    break;
                }
            }
            bSeen[nState & 7] = true;
            const int nPosition = g_nPosition;
            EXPECT_TRUE(nPosition >= 0 && nPosition <= 100) << nPosition;
            if (const int nPause = pickPause(random); nPause > 0) {
                std::this_thread::sleep_for(std::chrono::milliseconds(nPause));
            }
        }
        watchdog.Begin(0, nCommands);  // quitting is bounded as well
    }
    EXPECT_FALSE(IsWorkerRunning());
    EXPECT_EQ(g_pDecoder.load(), nullptr);
    // The commands reached the states that matter, not only the idle ones.
    EXPECT_TRUE(bSeen[PLAY_STARTED] || bSeen[PLAY_RESUMED]);
    EXPECT_TRUE(bSeen[PLAY_PAUSED]);
    EXPECT_TRUE(bSeen[PLAY_ENDED]);
    EXPECT_TRUE(bSeen[PLAY_INVALID]);
    SetWaveDeviceName("");
}
