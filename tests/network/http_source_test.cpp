// The HTTP source in process: a reader that was paused goes on from what is
// on air now, and a stop ends every wait at once (the program's stop and
// quit come to the source as its stop request).
#include "network/http_source.h"

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <thread>

#include "tests/network/loopback_server.h"

using namespace corvina;

namespace {

using CClock = std::chrono::steady_clock;
using namespace std::chrono_literals;

// Each connection sends bytes of its own value ('A' for the first), a
// kilobyte every 50 ms, for at most ten seconds.
void SendTagged(int fd, int nConnection, const std::atomic<bool>& bStopping) {
    if (!SendText(fd, "HTTP/1.0 200 OK\r\nContent-Type: audio/mpeg\r\n\r\n")) {
        return;
    }
    const std::string strChunk(1000, static_cast<char>('A' + nConnection));
    for (int i = 0; i < 200 && !bStopping && SendText(fd, strChunk); ++i) {
        std::this_thread::sleep_for(50ms);
    }
}

}  // namespace

TEST(HttpSource, AReaderThatPausedGoesOnFromWhatIsOnAirNow) {
    CLoopbackServer server(SendTagged);
    std::vector<ELiveState> states;
    CLiveHooks live;
    live.fnStateChanged = [&](ELiveState eState) { states.push_back(eState); };
    CHttpSource source(server.Address(), {}, {}, live);
    std::string strReason;
    ASSERT_TRUE(source.Open(strReason)) << strReason;
    EXPECT_FALSE(source.CanSeek());
    uint8_t byte = 0;
    ASSERT_EQ(source.Read(&byte, 1), 1u);
    EXPECT_EQ(byte, 'A');
    std::this_thread::sleep_for(3500ms);
    ASSERT_EQ(source.Read(&byte, 1), 1u);
    EXPECT_EQ(byte, 'B');
    EXPECT_EQ(states, (std::vector<ELiveState>{ELiveState::Buffering, ELiveState::Playing}));
}

TEST(HttpSource, AStopEndsTheWaitForAnAnswerAndForTheAudioAtOnce) {
    CLoopbackServer silent([](int fd, int nConnection, const std::atomic<bool>& bStopping) {
        // The second connection gets its answer and drops: the source waits
        // to connect again.
        if (nConnection == 1) {
            SendText(fd, "HTTP/1.0 200 OK\r\n\r\n");
            return;
        }
        for (int i = 0; i < 200 && !bStopping; ++i) {
            std::this_thread::sleep_for(50ms);
        }
    });
    for (int nCase = 0; nCase < 2; ++nCase) {
        std::atomic<bool> bStop{false};
        CClock::time_point stoppedAt{};
        CHttpSource source(silent.Address(), [&] { return bStop.load(); }, {}, {});
        std::thread stopper([&] {
            std::this_thread::sleep_for(500ms);
            stoppedAt = CClock::now();
            bStop = true;
        });
        std::string strReason;
        uint8_t byte = 0;
        // The first connection is stopped waiting for its answer, the second
        // after its drop.
        const bool bOpened = source.Open(strReason);
        EXPECT_EQ(bOpened, nCase == 1);
        if (bOpened) {
            EXPECT_EQ(source.Read(&byte, 1), 0u);
        }
        const auto ended = CClock::now();
        stopper.join();
        EXPECT_LT(ended - stoppedAt, 100ms) << nCase;
    }
}
