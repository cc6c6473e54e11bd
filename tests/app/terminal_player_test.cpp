// The terminal player as a person at a terminal meets it: the program runs
// on a pseudo-terminal in a job of its own under a stand-in for the shell,
// and the test types keys, stops and continues the job, and reads the
// screen.
#include <fcntl.h>
#include <poll.h>
#include <pty.h>
#include <sys/wait.h>
#include <termios.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <chrono>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <regex>
#include <string>
#include <vector>
#include "app/status_line.h"
#include "tests/support/tagged_files.h"
#include "tests/support/temp_dir.h"

namespace {

constexpr const char* kSample = CORVINA_SAMPLES_DIR "/corvina-sample.mp2";
using CClock = std::chrono::steady_clock;

class CTerminalSession {
  public:
    // The player plays files (the sample twice by default) on the null
    // device, on a terminal nColumns wide of type pszTerm (none when null).
    explicit CTerminalSession(std::vector<std::string> files = {kSample, kSample},
                              int nColumns = 100, const char* pszTerm = "xterm") {
        winsize size{};
        size.ws_row = 24;
        size.ws_col = static_cast<unsigned short>(nColumns);
        std::vector<std::string> args = {CORVINA_BINARY, "--play"};
        args.insert(args.end(), files.begin(), files.end());
        args.insert(args.end(), {"--output", "null"});
        int anPid[2];
        if (pipe(anPid) != 0) {
            return;
        }
        m_shell = forkpty(&m_nMaster, nullptr, nullptr, &size);
        if (m_shell == 0) {
            if (pszTerm != nullptr) {
                setenv("TERM", pszTerm, 1);
            } else {
                unsetenv("TERM");
            }
            RunShell(anPid[1], args);
        }
        close(anPid[1]);
        // The modes come from the shell before the player exists: read here
        // afterwards, they could already be the player's own.
        if (m_shell > 0 && (read(anPid[0], &m_modes, sizeof m_modes) != sizeof m_modes ||
                            read(anPid[0], &m_player, sizeof m_player) != sizeof m_player)) {
            m_player = -1;
        }
        close(anPid[0]);
    }
    ~CTerminalSession() {
        if (m_shell > 0 && !m_bExited) {
            kill(m_player, SIGKILL);
            kill(m_shell, SIGKILL);
            waitpid(m_shell, nullptr, 0);
        }
        if (m_nMaster >= 0) {
            close(m_nMaster);
        }
    }
    bool Started() const { return m_shell > 0 && m_player > 0; }
    pid_t Player() const { return m_player; }

    void Type(const std::string& strKeys) {
        ASSERT_EQ(write(m_nMaster, strKeys.data(), strKeys.size()),
                  static_cast<ssize_t>(strKeys.size()));
    }

    // Reads the terminal until what arrived after the last match matches
    // the pattern; the text from there on is kept for the next wait.
    bool WaitFor(const std::string& strPattern, int nTimeoutMs = 10000) {
        const std::regex pattern(strPattern);
        const auto deadline = CClock::now() + std::chrono::milliseconds(nTimeoutMs);
        for (;;) {
            std::smatch match;
            if (std::regex_search(m_strPending, match, pattern)) {
                m_strMatch = match.str();
                m_strPending = match.suffix();
                return true;
            }
            const auto nLeft =
                std::chrono::duration_cast<std::chrono::milliseconds>(deadline - CClock::now());
            if (nLeft.count() <= 0 || !ReadSome(static_cast<int>(nLeft.count()))) {
                return false;
            }
        }
    }
    const std::string& LastMatch() const { return m_strMatch; }
    const std::string& Output() const { return m_strAll; }

    // The player's exit status as the shell passes it on, or -1.
    int WaitForExit(int nTimeoutMs = 10000) {
        const auto deadline = CClock::now() + std::chrono::milliseconds(nTimeoutMs);
        while (CClock::now() < deadline) {
            int nStatus = 0;
            if (waitpid(m_shell, &nStatus, WNOHANG) == m_shell) {
                m_bExited = true;
                return WIFEXITED(nStatus) ? WEXITSTATUS(nStatus) : -1;
            }
            ReadSome(50);
        }
        return -1;
    }
    // Waits until the player is stopped (state T) or running again.
    bool WaitForStopped(bool bStopped) {
        const auto deadline = CClock::now() + std::chrono::seconds(5);
        while (CClock::now() < deadline) {
            std::ifstream stat("/proc/" + std::to_string(m_player) + "/stat");
            std::string strStat;
            std::getline(stat, strStat);
            const std::size_t nParen = strStat.rfind(')');
            if (nParen != std::string::npos && nParen + 2 < strStat.size() &&
                (strStat[nParen + 2] == 'T') == bStopped) {
                return true;
            }
            ReadSome(20);
        }
        return false;
    }

    // The terminal's modes are the ones it had before the player started.
    bool ModesAsBefore() const {
        termios modes{};
        return tcgetattr(m_nMaster, &modes) == 0 && modes.c_lflag == m_modes.c_lflag &&
               modes.c_iflag == m_modes.c_iflag && modes.c_oflag == m_modes.c_oflag &&
               modes.c_cc[VMIN] == m_modes.c_cc[VMIN];
    }

  private:
    // The session leader plays the shell: it puts the player in a process
    // group of its own in the terminal's foreground, so that Ctrl+Z stops it
    // as it would under a real shell, and passes its end on.
    [[noreturn]] static void RunShell(int nPidFd, std::vector<std::string>& args) {
        termios modes{};
        tcgetattr(STDIN_FILENO, &modes);
        [[maybe_unused]] const ssize_t nModes = write(nPidFd, &modes, sizeof modes);
        const pid_t player = fork();
        if (player == 0) {
            setpgid(0, 0);
            signal(SIGTTOU, SIG_IGN);
            tcsetpgrp(STDIN_FILENO, getpid());
            signal(SIGTTOU, SIG_DFL);
            std::vector<char*> argv;
            for (std::string& strArg : args) {
                argv.push_back(strArg.data());
            }
            argv.push_back(nullptr);
            execv(CORVINA_BINARY, argv.data());
            _exit(127);
        }
        setpgid(player, player);
        [[maybe_unused]] const ssize_t nWritten = write(nPidFd, &player, sizeof player);
        int nStatus = 0;
        while (waitpid(player, &nStatus, 0) != player ||
               !(WIFEXITED(nStatus) || WIFSIGNALED(nStatus))) {
        }
        _exit(WIFEXITED(nStatus) ? WEXITSTATUS(nStatus) : 128 + WTERMSIG(nStatus));
    }

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

    pid_t m_shell = -1;
    pid_t m_player = -1;
    int m_nMaster = -1;
    termios m_modes{};
    bool m_bExited = false;
    std::string m_strPending;
    std::string m_strAll;
    std::string m_strMatch;
};

// The seconds of an "m:ss.t / m:ss.t" pair's first time.
double HeardOf(const std::string& strStatus) {
    std::smatch match;
    const std::regex time(R"((\d+):(\d\d)\.(\d) /)");
    return std::regex_search(strStatus, match, time)
               ? std::stoi(match[1]) * 60 + std::stoi(match[2]) + std::stoi(match[3]) / 10.0
               : -1;
}

// The bottom line as a terminal shows it after all that was written: a
// carriage return goes to its start, ESC [ K clears from there on.
std::string VisibleLastLine(const std::string& strOutput) {
    std::string strLine;
    std::size_t nColumn = 0;
    for (std::size_t i = 0; i < strOutput.size(); ++i) {
        const char c = strOutput[i];
        if (c == '\n') {
            strLine.clear();
            nColumn = 0;
        } else if (c == '\r') {
            nColumn = 0;
        } else if (strOutput.compare(i, 3, "\x1b[K") == 0) {
            strLine.resize(nColumn);
            i += 2;
        } else {
            strLine.resize(std::max(strLine.size(), nColumn + 1), ' ');
            strLine[nColumn++] = c;
        }
    }
    return strLine;
}

}  // namespace

TEST(TerminalPlayer, KeysStatusLineJobControlAndTheTerminalLeftAsItWas) {
    CTerminalSession session;
    ASSERT_TRUE(session.Started());
    ASSERT_TRUE(session.WaitFor(R"(MPEG-1 Layer II, 192 kbit/s, 44.1 kHz, stereo)"))
        << session.Output();
    ASSERT_TRUE(session.WaitFor(R"(0:0\d\.\d / 0:20\.\d  Playing  \[1/2\] corvina-sample.mp2)"))
        << session.Output();
    const auto tStart = CClock::now();

    // The time shown is that of the sound heard on the null device, which
    // plays in real time from the start: within 0.2 s of the clock, where
    // the position read by the decoder runs 0.8 s ahead. A line read late
    // only looks behind, so the line read soonest after it was drawn counts.
    double dOffset = -1e9;
    while (std::chrono::duration<double>(CClock::now() - tStart).count() < 3.0) {
        ASSERT_TRUE(session.WaitFor(R"(\d:\d\d\.\d / \S+  Playing)")) << session.Output();
        const double dElapsed = std::chrono::duration<double>(CClock::now() - tStart).count();
        if (dElapsed > 1.5) {
            dOffset = std::max(dOffset, HeardOf(session.LastMatch()) - dElapsed);
        }
    }
    EXPECT_NEAR(dOffset, 0.0, 0.2);

    session.Type("h");
    EXPECT_TRUE(session.WaitFor("Keys:[^]*space or s +Pause or resume[^]*q +Quit"))
        << session.Output();
    session.Type("i");
    EXPECT_TRUE(session.WaitFor("layer II stereo[^]*not copyright protected")) << session.Output();

    // Ctrl+Z gives the terminal back as it was; after fg, the first key
    // acts at once.
    session.Type("\x1a");
    ASSERT_TRUE(session.WaitForStopped(true));
    EXPECT_TRUE(session.ModesAsBefore());
    kill(session.Player(), SIGCONT);
    ASSERT_TRUE(session.WaitForStopped(false));
    session.Type(" ");
    ASSERT_TRUE(session.WaitFor(R"(\d:\d\d\.\d / \S+  Paused)", 2000)) << session.Output();
    const double dPaused = HeardOf(session.LastMatch());
    // Seeking while paused shows the new time at once.
    session.Type(".");
    ASSERT_TRUE(session.WaitFor(R"(\d:\d\d\.\d / \S+  Paused)")) << session.Output();
    EXPECT_NEAR(HeardOf(session.LastMatch()), dPaused + 3, 0.11);

    // A line that gets shorter leaves nothing of the longer one behind.
    session.Type("o");
    ASSERT_TRUE(session.WaitFor("  loop")) << session.Output();
    session.Type("o");
    usleep(500 * 1000);
    session.WaitFor("$^", 100);
    const std::string strLine = VisibleLastLine(session.Output());
    EXPECT_EQ(strLine.find("loop"), std::string::npos) << strLine;
    EXPECT_TRUE(std::regex_search(
        strLine, std::regex(R"(^\d:\d\d\.\d / 0:20\.\d  Paused  \[1/2\] corvina-sample\.mp2$)")))
        << strLine;

    // The next file, then quit.
    session.Type("f");
    EXPECT_TRUE(session.WaitFor(R"(\[2/2\] corvina-sample)")) << session.Output();
    session.Type("q");
    EXPECT_EQ(session.WaitForExit(), 0) << session.Output();
    EXPECT_TRUE(session.ModesAsBefore());
    // What it wrote last is read after its end.
    EXPECT_TRUE(session.WaitFor(R"(  Quit  \[2/2\][^\n]*\n)", 2000)) << session.Output();

    // Ctrl+C and SIGTERM end the player with their status and the terminal
    // as it was.
    for (const int nSignal : {SIGINT, SIGTERM}) {
        SCOPED_TRACE(nSignal);
        CTerminalSession ended;
        ASSERT_TRUE(ended.Started());
        ASSERT_TRUE(ended.WaitFor("Playing")) << ended.Output();
        if (nSignal == SIGINT) {
            ended.Type("\x03");
        } else {
            kill(ended.Player(), SIGTERM);
        }
        EXPECT_EQ(ended.WaitForExit(), 128 + nSignal) << ended.Output();
        EXPECT_TRUE(ended.ModesAsBefore());
        EXPECT_TRUE(ended.WaitFor(R"(  Interrupted  [^\n]*\n)", 2000)) << ended.Output();
    }
}

// At 40 columns a long name of wide characters, not valid UTF-8 at one
// place, is shortened in its middle: the times stay, the line fits, and it
// is valid UTF-8. On a dumb terminal no control sequence is written.
TEST(TerminalPlayer, TheLineFitsItsColumnsAndADumbTerminalGetsNoControls) {
    CTempDir dir;
    std::string strName;
    for (int i = 0; i < 40; ++i) {
        strName += "\xe6\x9b\xb2";  // a wide character, three bytes
    }
    strName += "\xff.mp2";
    const std::string strFile = dir.Write(strName, ReadFileBytes(kSample));
    for (const char* pszTerm : {"xterm", "dumb"}) {
        SCOPED_TRACE(pszTerm);
        CTerminalSession session({strFile}, 40, pszTerm);
        ASSERT_TRUE(session.Started());
        ASSERT_TRUE(session.WaitFor(R"(0:0\d\.\d / 0:20\.\d  Playing  \[1/1\] )"))
            << session.Output();
        session.WaitFor("$^", 500);
        session.Type("q");
        EXPECT_EQ(session.WaitForExit(), 0);
        EXPECT_TRUE(session.WaitFor("Quit[^\n]*\n", 2000)) << session.Output();
        const std::string strLine =
            VisibleLastLine(session.Output().substr(0, session.Output().rfind('\r')));
        EXPECT_LE(DisplayColumns(strLine), 39) << strLine;
        EXPECT_GE(DisplayColumns(strLine), 38) << strLine;
        EXPECT_EQ(ToDisplayText(strLine), strLine);
        EXPECT_NE(strLine.find("\xe2\x80\xa6"), std::string::npos);  // the ellipsis
        EXPECT_NE(strLine.find("\xef\xbf\xbd.mp2"), std::string::npos) << strLine;
        EXPECT_EQ(session.Output().find('\x1b') == std::string::npos,
                  std::string(pszTerm) == "dumb");
    }
}

// A shell under tmux: a player started with & and brought back with fg, and
// one stopped with Ctrl+Z, sent on with bg and brought back with fg, each
// takes space and q; keys come from the terminal when the stream is a pipe.
TEST(TerminalPlayer, KeysWorkAfterJobControlAndWithAPipedStream) {
    if (std::system("command -v tmux >/dev/null") != 0) {
        GTEST_SKIP() << "tmux is not installed";
    }
    const std::string strTmux = "tmux -L corvina-test-" + std::to_string(getpid()) + " ";
    const auto Send = [&](const std::string& strKeys) {
        ASSERT_EQ(std::system((strTmux + "send-keys -t t " + strKeys).c_str()), 0);
        usleep(700 * 1000);
    };
    const auto Screen = [&] {
        std::string strScreen;
        if (FILE* pPipe = popen((strTmux + "capture-pane -p -t t").c_str(), "r")) {
            char buffer[4096];
            for (std::size_t n = 0; (n = fread(buffer, 1, sizeof buffer, pPipe)) > 0;) {
                strScreen.append(buffer, n);
            }
            pclose(pPipe);
        }
        return strScreen;
    };
    ASSERT_EQ(std::system((strTmux + "new-session -d -s t -x 100 -y 30 'bash --norc -i'").c_str()),
              0);
    usleep(500 * 1000);
    const std::string strPlay =
        std::string("'") + CORVINA_BINARY + " --play " + kSample + " " + kSample + " --output null";
    Send(strPlay + " &' Enter");
    Send("fg Enter");
    Send("Space");
    EXPECT_TRUE(std::regex_search(Screen(), std::regex(R"(  Paused  \[1/2\])"))) << Screen();
    Send("C-z");
    Send("bg Enter");
    Send("fg Enter");
    Send("Space");
    EXPECT_TRUE(std::regex_search(Screen(), std::regex(R"(  Playing  \[1/2\])"))) << Screen();
    Send("q");
    EXPECT_TRUE(std::regex_search(Screen(), std::regex(R"(  Quit  \[1/2\])"))) << Screen();
    Send(std::string("'clear; cat ") + kSample + " | " + CORVINA_BINARY +
         " --play - --output null' Enter");
    Send("Space");
    EXPECT_TRUE(std::regex_search(Screen(), std::regex(R"(  Paused  \[1/1\] standard input)")))
        << Screen();
    Send("q");
    EXPECT_TRUE(std::regex_search(Screen(), std::regex(R"(  Quit  \[1/1\])"))) << Screen();
    EXPECT_EQ(std::system((strTmux + "kill-server").c_str()), 0);
}

// In a list, what is said about a file comes after its name, on one line
// that names it.
TEST(TerminalPlayer, AFilesWarningFollowsItsHeader) {
    CTempDir dir;
    const std::string strText = dir.Write("notes.mp2", {'h', 'e', 'l', 'l', 'o', '\n'});
    CTerminalSession session({strText, kSample});
    ASSERT_TRUE(session.Started());
    EXPECT_TRUE(session.WaitFor(R"(\[1/2\] [^\n]*notes\.mp2\r?\n[^\n]*corvina: [^\n]*notes\.mp2: )"
                                R"(Invalid Audio Stream)"))
        << session.Output();
    session.Type("q");
    EXPECT_EQ(session.WaitForExit(), 1);
}

TEST(TerminalPlayer, EachFilesTagsFollowItsFormat) {
    CTempDir dir;
    const std::string strTagged = dir.File("tagged.mp2");
    WriteTaggedSample(strTagged, ETagKind::Id3v23);
    CTerminalSession session({strTagged, kSample});
    ASSERT_TRUE(session.Started());
    EXPECT_TRUE(session.WaitFor(
        R"(\[1/2\] [^\n]*\n[^\n]*MPEG-1 Layer II[^\n]*\n[^\n]*Title: Caf\xc3\xa9 au lait\r?\n)"
        R"([^\n]*Artist: \xc5\x81\xc3\xb3d\xc5\xba Ensemble\r?\n[^\n]*Album: First Album\r?\n)"
        R"([^\n]*Year: 1997\r?\n[^\n]*Genre: Folk\r?\n[^\n]*Comment: Recorded live\r?\n)"))
        << session.Output();
    session.Type("f");
    EXPECT_TRUE(session.WaitFor(R"(\[2/2\] [^\n]*\n[^\n]*MPEG-1 Layer II[^\n]*\n)"))
        << session.Output();
    session.Type("q");
    EXPECT_EQ(session.WaitForExit(), 0);
    // The sample has no tags.
    const std::string strOutput = session.Output();
    EXPECT_EQ(strOutput.find("Title:", strOutput.find("[2/2]")), std::string::npos) << strOutput;
}

// a switches to the next audio track of a container where the sound is heard,
// round to the first again; the time goes on.
TEST(TerminalPlayer, ASwitchesTheAudioTrack) {
    if (std::system("command -v ffmpeg >/dev/null") != 0) {
        GTEST_SKIP() << "ffmpeg is not installed";
    }
    CTempDir dir;
    const std::string strFile = dir.File("two.ts");
    const std::string strMake =
        "ffmpeg -v error -y -f lavfi -i sine=frequency=440:duration=20:sample_rate=48000 "
        "-f lavfi -i sine=frequency=1000:duration=20:sample_rate=48000 -map 0 -map 1 -c:a mp2 "
        "-metadata:s:a:0 language=deu -metadata:s:a:1 language=eng "
        "-disposition:a:0 visual_impaired '" +
        strFile + "'";
    ASSERT_EQ(std::system(strMake.c_str()), 0);
    CTerminalSession session({strFile});
    ASSERT_TRUE(session.Started());
    ASSERT_TRUE(session.WaitFor(R"(0:0[1-9]\.\d / 0:20\.\d  Playing)")) << session.Output();
    const double dBefore = HeardOf(session.LastMatch());
    session.Type("a");
    EXPECT_TRUE(session.WaitFor("Track 1: deu, visually impaired")) << session.Output();
    ASSERT_TRUE(session.WaitFor(R"(\d:\d\d\.\d / 0:20\.\d  Playing)")) << session.Output();
    EXPECT_GE(HeardOf(session.LastMatch()), dBefore);
    session.Type("a");
    EXPECT_TRUE(session.WaitFor("Track 2: eng, main")) << session.Output();
    session.Type("q");
    EXPECT_EQ(session.WaitForExit(), 0) << session.Output();
}
