// The terminal player as a person at a terminal meets it: the program runs
// on a pseudo-terminal, the test types keys and reads the status line.
#include <fcntl.h>
#include <poll.h>
#include <pty.h>
#include <sys/wait.h>
#include <termios.h>
#include <unistd.h>

#include <gtest/gtest.h>
#include <chrono>
#include <csignal>
#include <regex>
#include <string>

namespace {

constexpr const char* kSample = CORVINA_SAMPLES_DIR "/corvina-sample.mp2";

class CTerminalSession {
  public:
    CTerminalSession() {
        winsize size{};
        size.ws_row = 24;
        size.ws_col = 100;
        m_pid = forkpty(&m_nMaster, nullptr, nullptr, &size);
        if (m_pid == 0) {
            execl(CORVINA_BINARY, CORVINA_BINARY, "--play", kSample, "--output", "null",
                  static_cast<char*>(nullptr));
            _exit(127);
        }
    }
    ~CTerminalSession() {
        if (m_pid > 0 && !m_bExited) {
            kill(m_pid, SIGKILL);
            waitpid(m_pid, nullptr, 0);
        }
        if (m_nMaster >= 0) {
            close(m_nMaster);
        }
    }
    bool Started() const { return m_pid > 0; }

    void Type(const std::string& strKeys) {
        ASSERT_EQ(write(m_nMaster, strKeys.data(), strKeys.size()),
                  static_cast<ssize_t>(strKeys.size()));
    }

    // Reads the terminal until what arrived after the last match matches
    // the pattern; the text from there on is kept for the next wait.
    bool WaitFor(const std::string& strPattern, int nTimeoutMs = 10000) {
        const std::regex pattern(strPattern);
        const auto deadline = Clock::now() + std::chrono::milliseconds(nTimeoutMs);
        for (;;) {
            std::smatch match;
            if (std::regex_search(m_strPending, match, pattern)) {
                m_strMatch = match.str();
                m_strPending = match.suffix();
                return true;
            }
            const auto nLeft =
                std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now());
            if (nLeft.count() <= 0 || !ReadSome(static_cast<int>(nLeft.count()))) {
                return false;
            }
        }
    }
    const std::string& LastMatch() const { return m_strMatch; }
    std::string Output() const { return m_strAll; }

    // The exit status, or -1 when the program did not exit normally in time.
    int WaitForExit(int nTimeoutMs = 10000) {
        const auto deadline = Clock::now() + std::chrono::milliseconds(nTimeoutMs);
        while (Clock::now() < deadline) {
            int nStatus = 0;
            if (waitpid(m_pid, &nStatus, WNOHANG) == m_pid) {
                m_bExited = true;
                return WIFEXITED(nStatus) ? WEXITSTATUS(nStatus) : -1;
            }
            ReadSome(50);
        }
        return -1;
    }
    bool StillRunning() { return waitpid(m_pid, nullptr, WNOHANG) == 0; }

    // The terminal's modes as the program left them.
    bool EchoesAndReadsLines() const {
        termios modes{};
        return tcgetattr(m_nMaster, &modes) == 0 && (modes.c_lflag & ECHO) != 0 &&
               (modes.c_lflag & ICANON) != 0;
    }

  private:
    using Clock = std::chrono::steady_clock;

    bool ReadSome(int nTimeoutMs) {
        pollfd input{m_nMaster, POLLIN, 0};
        if (poll(&input, 1, nTimeoutMs) <= 0) {
            return false;
        }
        char buffer[4096];
        const ssize_t nRead = read(m_nMaster, buffer, sizeof buffer);
        if (nRead <= 0) {
            return false;
        }
        m_strPending.append(buffer, static_cast<std::size_t>(nRead));
        m_strAll.append(buffer, static_cast<std::size_t>(nRead));
        return true;
    }

    pid_t m_pid = -1;
    int m_nMaster = -1;
    bool m_bExited = false;
    std::string m_strPending;
    std::string m_strAll;
    std::string m_strMatch;
};

int PercentOf(const std::string& strStatus) {
    std::smatch match;
    const std::regex percent(R"(\s(\d+)%)");
    return std::regex_search(strStatus, match, percent) ? std::stoi(match[1]) : -1;
}

}  // namespace

TEST(TerminalPlayer, KeysPauseResumeSeekStopAndQuit) {
    CTerminalSession session;
    ASSERT_TRUE(session.Started());
    ASSERT_TRUE(session.WaitFor("Playing")) << session.Output();

    session.Type("h");
    EXPECT_TRUE(session.WaitFor("Keys:[^]*q\\s+quit")) << session.Output();
    session.Type("i");
    EXPECT_TRUE(session.WaitFor("layer II stereo[^]*not copyright protected")) << session.Output();

    session.Type(" ");
    ASSERT_TRUE(session.WaitFor(R"(Paused\s+\d+%)")) << session.Output();
    const int nPaused = PercentOf(session.LastMatch());
    // Right arrow: five percent on, seen at once while the worker is held.
    session.Type("\x1b[C");
    ASSERT_TRUE(session.WaitFor(R"(Paused\s+\d+%)")) << session.Output();
    EXPECT_EQ(PercentOf(session.LastMatch()), nPaused + 5);
    session.Type(",");
    ASSERT_TRUE(session.WaitFor(R"(Paused\s+\d+%)")) << session.Output();
    EXPECT_EQ(PercentOf(session.LastMatch()), std::max(0, nPaused - 5));

    session.Type(" ");
    EXPECT_TRUE(session.WaitFor("Playing")) << session.Output();
    // A stop by the user leaves the player waiting for another Play.
    session.Type("s");
    ASSERT_TRUE(session.WaitFor("Stopped")) << session.Output();
    usleep(300 * 1000);
    EXPECT_TRUE(session.StillRunning());
    session.Type("p");
    EXPECT_TRUE(session.WaitFor("Playing")) << session.Output();

    session.Type("q");
    EXPECT_EQ(session.WaitForExit(), 0) << session.Output();
    EXPECT_TRUE(session.EchoesAndReadsLines());
}

TEST(TerminalPlayer, CtrlCEndsPlaybackAndRestoresTheTerminal) {
    CTerminalSession session;
    ASSERT_TRUE(session.Started());
    ASSERT_TRUE(session.WaitFor("Playing")) << session.Output();
    session.Type("\x03");
    EXPECT_EQ(session.WaitForExit(), 128 + SIGINT) << session.Output();
    EXPECT_TRUE(session.EchoesAndReadsLines());
}
