// The real program reading addresses on this machine's loopback: the faults,
// a drop and a redirection from a server of the tests' own, a transport
// stream over HTTP and UDP, and a live source through Debian's icecast2.
#include <arpa/inet.h>
#include <fcntl.h>
#include <gtest/gtest.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <fstream>
#include <thread>

#include "tests/network/loopback_server.h"
#include "tests/support/child_process.h"
#include "tests/support/pcm_samples.h"
#include "tests/support/temp_dir.h"

namespace {

using CClock = std::chrono::steady_clock;
constexpr std::size_t kFrameValues = 1152 * 2;  // one Layer II stereo frame

CChildResult Corvina(const std::vector<std::string>& args, int nTimeoutMs = 40000) {
    std::vector<std::string> argv = {CORVINA_BINARY};
    argv.insert(argv.end(), args.begin(), args.end());
    return RunChild(argv, nTimeoutMs);
}

bool HasProgram(const std::string& strName) {
    return std::system(("command -v " + strName + " >/dev/null 2>&1").c_str()) == 0;
}

class NetworkCliTest : public ::testing::Test {
  protected:
    void SetUp() override {
        if (!HasProgram("ffmpeg")) {
            GTEST_SKIP() << "ffmpeg is not installed";
        }
        // Ten seconds of two sweeps, so that every frame differs from the others.
        m_strSource = m_dir.File("source.mp2");
        ASSERT_EQ(
            std::system(("ffmpeg -v error -y -f lavfi -i "
                         "'aevalsrc=sin(2*PI*(200+100*t)*t)|sin(2*PI*(300+50*t)*t):s=48000:d=10'"
                         " -c:a mp2 -b:a 192k " +
                         m_strSource)
                            .c_str()),
            0);
        m_source = ReadFileBytes(m_strSource);
        m_decoded = DecodedPcm(m_strSource);
        ASSERT_FALSE(m_decoded.empty());
    }

    std::vector<int16_t> RawOf(const std::string& strName) {
        return RawSamples(ReadFileBytes(m_dir.File(strName)));
    }

    CTempDir m_dir;
    std::string m_strSource;
    std::vector<uint8_t> m_source;
    std::vector<int16_t> m_decoded;
};

// Within one step of the source's samples from the frame it joined at, the
// first frame (whose filters start cold) aside; false where no frame fits.
bool MatchesFromAFrame(const std::vector<int16_t>& got, const std::vector<int16_t>& source) {
    if (got.size() < 3 * kFrameValues) {
        return false;
    }
    for (std::size_t nAt = 0; nAt + 2 * kFrameValues <= source.size(); nAt += kFrameValues) {
        bool bFits = true;
        for (std::size_t i = kFrameValues; i < got.size() && nAt + i < source.size() && bFits;
             ++i) {
            bFits = std::abs(got[i] - source[nAt + i]) <= 1;
        }
        if (bFits) {
            return true;
        }
    }
    return false;
}

std::string Header(const std::string& strStatus, const std::string& strMore = {}) {
    return "HTTP/1.0 " + strStatus + "\r\nContent-Type: audio/mpeg\r\n" + strMore + "\r\n";
}

// Refused, 404, not TLS, and lost after a drop: the reason, and exit status 1.
TEST_F(NetworkCliTest, AServerThatCannotServeIsToldWithItsReasonAndExitsOneInTime) {
    CLoopbackServer notFound([](int fd, int, const std::atomic<bool>&) {
        SendText(fd, "HTTP/1.0 404 Not Found\r\nContent-Length: 4\r\n\r\ngone");
    });
    // One that plays a while, drops and never answers again.
    CLoopbackServer gone([&](int fd, int nConnection, const std::atomic<bool>&) {
        if (nConnection == 0) {
            SendText(fd, Header("200 OK"));
            SendAll(fd, m_source.data(), m_source.size() / 4);
        }
    });
    const int nClosed = FreePort(SOCK_STREAM);
    const struct {
        std::string strAddress;
        std::string strReason;
    } cases[] = {
        {"http://127.0.0.1:" + std::to_string(nClosed) + "/live", "Connection refused"},
        {notFound.Address(), "the server answered 404 Not Found"},
        {"https://127.0.0.1:" + std::to_string(notFound.Port()) + "/live", "secure connection"},
        {gone.Address(), "lost the connection"},
    };
    for (const auto& fault : cases) {
        SCOPED_TRACE(fault.strAddress);
        const auto start = CClock::now();
        const CChildResult result = Corvina({"--raw", m_dir.File("out.raw"), fault.strAddress});
        EXPECT_LT(CClock::now() - start, std::chrono::seconds(11));
        EXPECT_EQ(result.nExitStatus, 1);
        EXPECT_NE(result.strErr.find(fault.strReason), std::string::npos) << result.strErr;
        EXPECT_NE(result.strErr.find(fault.strAddress), std::string::npos) << result.strErr;
    }
}

// A redirection, then the source in three parts: the first ends in a drop,
// the second in a stall of ten seconds, and after the third the stream is
// gone. Cut at frames' starts, the parts together are the source again.
TEST_F(NetworkCliTest, ARedirectionIsFollowedAndDropsAndStallsAreReconnectedToTheEnd) {
    const std::size_t nThird = m_source.size() / 3 / 576 * 576;
    ASSERT_EQ(m_source[nThird], 0xFF);
    CLoopbackServer server([&](int fd, int nConnection, const std::atomic<bool>& bStopping) {
        if (nConnection == 0) {
            SendText(fd, "HTTP/1.0 302 Found\r\nLocation: /moved\r\n\r\n");
        } else if (nConnection <= 3) {
            const std::size_t nFrom = nThird * static_cast<std::size_t>(nConnection - 1);
            SendText(fd, Header("200 OK"));
            SendAll(fd, m_source.data() + nFrom,
                    nConnection == 3 ? m_source.size() - nFrom : nThird);
            for (int i = 0; nConnection == 2 && i < 300 && !bStopping; ++i) {
                std::this_thread::sleep_for(std::chrono::milliseconds(50));
            }
        } else {
            SendText(fd, "HTTP/1.0 404 Not Found\r\n\r\n");
        }
    });
    const auto start = CClock::now();
    const CChildResult result = Corvina({"--raw", m_dir.File("out.raw"), server.Address()});
    EXPECT_GE(CClock::now() - start, std::chrono::seconds(10));
    EXPECT_EQ(result.nExitStatus, 0) << result.strErr;
    EXPECT_EQ(FirstDifference(RawOf("out.raw"), m_decoded), -1);
}

// The station's name as the album, and a station file naming the address
// that plays in the terminal player.
TEST_F(NetworkCliTest, AStationNamesItsAlbumAndPlaysFromAStationFile) {
    CLoopbackServer server([&](int fd, int, const std::atomic<bool>&) {
        SendText(fd, Header("200 OK", "icy-name: Radio \u00dcn\u00ef\r\nContent-Length: " +
                                          std::to_string(m_source.size()) + "\r\n"));
        SendAll(fd, m_source.data(), m_source.size());
    });
    const CChildResult info = Corvina({"--info", server.Address()});
    EXPECT_EQ(info.nExitStatus, 0) << info.strErr;
    EXPECT_NE(info.strOut.find("\n\nAlbum: Radio \u00dcn\u00ef\n"), std::string::npos)
        << info.strOut;

    std::ofstream(m_dir.File("station.pls"))
        << "[playlist]\nFile1=" << server.Address() << "\nTitle1=Radio\nNumberOfEntries=1\n";
    const CChildResult played =
        Corvina({"--output=wav:" + m_dir.File("out.wav"), "--play", m_dir.File("station.pls")});
    EXPECT_EQ(played.nExitStatus, 0) << played.strErr;
    EXPECT_EQ(
        FirstDifference(ReadWav(m_dir.File("out.wav")).samples, PaddedToBuffers(m_decoded, 2)), -1);
}

TEST_F(NetworkCliTest, ATransportStreamOverHttpAndUdpDecodesAsTheFile) {
    const std::string strTs = m_dir.File("source.ts");
    ASSERT_EQ(std::system(
                  ("ffmpeg -v error -y -i " + m_strSource + " -c copy -f mpegts " + strTs).c_str()),
              0);
    const std::vector<uint8_t> ts = ReadFileBytes(strTs);
    ASSERT_EQ(Corvina({"--raw", m_dir.File("file.raw"), strTs}).nExitStatus, 0);
    const std::vector<int16_t> fromFile = RawOf("file.raw");
    ASSERT_GT(fromFile.size(), 100 * kFrameValues);

    CLoopbackServer server([&](int fd, int, const std::atomic<bool>&) {
        SendText(fd, Header("200 OK", "Content-Length: " + std::to_string(ts.size()) + "\r\n"));
        SendAll(fd, ts.data(), ts.size());
    });
    const CChildResult http = Corvina({"--raw", m_dir.File("http.raw"), server.Address()});
    EXPECT_EQ(http.nExitStatus, 0) << http.strErr;
    EXPECT_EQ(FirstDifference(RawOf("http.raw"), fromFile), -1);

    // Datagrams of seven packets each, paced, once the program listens; it
    // ends ten seconds after the last.
    const int nPort = FreePort(SOCK_DGRAM);
    CChildResult udp;
    std::thread child([&] {
        udp = Corvina({"--raw", m_dir.File("udp.raw"), "udp://127.0.0.1:" + std::to_string(nPort)});
    });
    std::this_thread::sleep_for(std::chrono::seconds(1));
    const int fd = socket(AF_INET, SOCK_DGRAM | SOCK_CLOEXEC, 0);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    address.sin_port = htons(static_cast<uint16_t>(nPort));
    for (std::size_t i = 0; i < ts.size(); i += 7 * 188) {
        sendto(fd, ts.data() + i, std::min<std::size_t>(7 * 188, ts.size() - i), 0,
               reinterpret_cast<sockaddr*>(&address), sizeof address);
        std::this_thread::sleep_for(std::chrono::microseconds(500));
    }
    close(fd);
    child.join();
    EXPECT_EQ(udp.nExitStatus, 0) << udp.strErr;
    EXPECT_EQ(FirstDifference(RawOf("udp.raw"), fromFile), -1);
}

// Debian's icecast2 on a free port of 127.0.0.1, with a configuration of the
// test's own; ffmpeg sends it the source in real time.
class CIcecast {
  public:
    explicit CIcecast(const CTempDir& dir) : m_nPort(FreePort(SOCK_STREAM)) {
        const std::string strDir = dir.Path().string();
        std::ofstream(dir.File("icecast.xml"))
            << "<icecast><limits><sources>2</sources><burst-size>0</burst-size></limits>"
               "<authentication><source-password>pass</source-password><admin-user>admin"
               "</admin-user><admin-password>admin</admin-password></authentication>"
               "<hostname>127.0.0.1</hostname><listen-socket><port>"
            << m_nPort
            << "</port><bind-address>127.0.0.1</bind-address></listen-socket>"
               "<fileserve>0</fileserve><paths><basedir>"
            << strDir << "</basedir><logdir>" << strDir
            << "</logdir><webroot>/usr/share/icecast2/web</webroot><adminroot>"
               "/usr/share/icecast2/admin</adminroot></paths><logging><errorlog>error.log"
               "</errorlog><accesslog>access.log</accesslog></logging><security><chroot>0"
               "</chroot>"
            << (getuid() == 0 ? "<changeowner><user>nobody</user><group>nogroup</group>"
                                "</changeowner>"
                              : "")
            << "</security></icecast>";
        std::filesystem::permissions(dir.Path(), std::filesystem::perms::all);
        m_pid = fork();
        if (m_pid == 0) {
            // Its warnings about the short configuration are of no interest.
            const int nNull = open("/dev/null", O_WRONLY);
            dup2(nNull, STDOUT_FILENO);
            dup2(nNull, STDERR_FILENO);
            execlp("icecast2", "icecast2", "-c", dir.File("icecast.xml").c_str(), nullptr);
            _exit(127);
        }
    }
    ~CIcecast() {
        if (m_pid > 0) {
            kill(m_pid, SIGTERM);
            waitpid(m_pid, nullptr, 0);
        }
    }
    std::string Url(const std::string& strPath) const {
        return "http://127.0.0.1:" + std::to_string(m_nPort) + strPath;
    }
    int Port() const { return m_nPort; }

  private:
    int m_nPort;
    pid_t m_pid = -1;
};

TEST_F(NetworkCliTest, AnIcecastBroadcastDecodesToItsSourcesSamplesFromTheFrameItJoinedAt) {
    if (!HasProgram("icecast2") || !HasProgram("curl")) {
        GTEST_SKIP() << "icecast2 or curl is not installed";
    }
    CIcecast icecast(m_dir);
    // The server answers within a second or two.
    bool bUp = false;
    for (int i = 0; i < 50 && !bUp; ++i) {
        std::this_thread::sleep_for(std::chrono::milliseconds(100));
        bUp =
            std::system(("curl -sf -o /dev/null " + icecast.Url("/status-json.xsl")).c_str()) == 0;
    }
    ASSERT_TRUE(bUp);
    // The user is icecast's "source", ffmpeg's default.
    const std::string strPush = "ffmpeg -v error -re -i " + m_strSource +
                                " -c copy -f mp2 -content_type audio/mpeg -password pass "
                                "icecast://127.0.0.1:" +
                                std::to_string(icecast.Port()) + "/radio";
    std::thread source([&] { (void)std::system(strPush.c_str()); });
    bool bMounted = false;
    for (int i = 0; i < 50 && !bMounted; ++i) {
        std::this_thread::sleep_for(std::chrono::milliseconds(100));
        bMounted =
            std::system(
                ("curl -sf " + icecast.Url("/status-json.xsl") + " | grep -q listenurl").c_str()) ==
            0;
    }
    ASSERT_TRUE(bMounted);
    const CChildResult result = Corvina({"--raw", m_dir.File("live.raw"), icecast.Url("/radio")});
    source.join();
    EXPECT_EQ(result.nExitStatus, 0) << result.strErr;
    const std::vector<int16_t> live = RawOf("live.raw");
    EXPECT_GT(live.size(), 100 * kFrameValues);
    EXPECT_TRUE(MatchesFromAFrame(live, m_decoded));
}

}  // namespace
