// Playback through a real sound server (PipeWire with a null sink, started by
// scripts/with-sound-server): what the sink's monitor hears, the stream's
// name, the player's own volume, pause and resume, and a server that goes
// away. Without a server the tests skip. The player's gain on a device
// without a volume of its own is tested on the WAV file device.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <poll.h>
#include <pty.h>
#include <pulse/volume.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <sys/stat.h>
#include <chrono>
#include <cmath>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <functional>
#include <regex>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include "output/sound_control.h"
#include "platform/wave_backends.h"
#include "player/control_block.h"
#include "player/corvina_doc.h"
#include "player/playback_control.h"
#include "resources/resource_ids.h"
#include "tests/support/child_process.h"
#include "tests/support/pcm_samples.h"
#include "tests/support/recording_presenter.h"
#include "tests/support/temp_dir.h"

using namespace corvina;

extern char** environ;

namespace {

using CClock = std::chrono::steady_clock;
using std::chrono::milliseconds;

constexpr int kRate = 44100;
// A sample's magnitude above which a frame counts as heard.
constexpr int kHeard = 200;

std::string Shell(const std::string& strCommand) {
    std::string strOut;
    if (FILE* pPipe = popen(strCommand.c_str(), "r")) {
        char buffer[4096];
        std::size_t nRead = 0;
        while ((nRead = fread(buffer, 1, sizeof buffer, pPipe)) > 0) {
            strOut.append(buffer, nRead);
        }
        pclose(pPipe);
    }
    return strOut;
}

const char* TestSink() {
    return std::getenv("CORVINA_TEST_SINK");
}

// The first value after "Volume:" in pactl's description of a sink or of
// our sink input, in the server's units.
long VolumeOf(const std::string& strDescription) {
    const std::size_t nAt = strDescription.find("Volume: front-left: ");
    return nAt == std::string::npos ? -1 : std::atol(strDescription.c_str() + nAt + 20);
}

std::string OurSinkInput() {
    const std::string strAll = Shell("pactl list sink-inputs");
    const std::size_t nName = strAll.find("application.name = \"Corvina\"");
    if (nName == std::string::npos) {
        return {};
    }
    const std::size_t nStart = strAll.rfind("Sink Input #", nName);
    return strAll.substr(nStart, nName - nStart + 1500);
}

// parec on the sink's monitor, writing 16-bit stereo at 44.1 kHz to a file.
class CMonitorRecorder {
  public:
    explicit CMonitorRecorder(const std::string& strPath) : m_strPath(strPath) {
        const std::string strDevice = std::string(TestSink()) + ".monitor";
        std::vector<std::string> args = {
            "parec",          "-d",           strDevice,      "--raw",
            "--format=s16le", "--rate=44100", "--channels=2", "--latency-msec=10"};
        std::vector<char*> argv;
        for (auto& strArg : args) {
            argv.push_back(strArg.data());
        }
        argv.push_back(nullptr);
        posix_spawn_file_actions_t actions;
        posix_spawn_file_actions_init(&actions);
        posix_spawn_file_actions_addopen(&actions, 1, m_strPath.c_str(),
                                         O_WRONLY | O_CREAT | O_TRUNC, 0600);
        if (posix_spawnp(&m_pid, "parec", &actions, nullptr, argv.data(), environ) != 0) {
            m_pid = -1;
        }
        posix_spawn_file_actions_destroy(&actions);
        std::this_thread::sleep_for(milliseconds(300));  // the stream comes up
    }
    ~CMonitorRecorder() { Stop(); }
    CMonitorRecorder(const CMonitorRecorder&) = delete;
    CMonitorRecorder& operator=(const CMonitorRecorder&) = delete;

    bool IsRunning() const { return m_pid > 0; }
    // Stereo frames recorded so far: the last is the one heard just now.
    long RecordedFrames() const {
        struct stat info {};
        return stat(m_strPath.c_str(), &info) == 0 ? static_cast<long>(info.st_size / 4) : 0;
    }
    std::vector<int16_t> Samples() const { return RawSamples(ReadFileBytes(m_strPath)); }
    void Stop() {
        if (m_pid > 0) {
            kill(m_pid, SIGTERM);
            waitpid(m_pid, nullptr, 0);
            m_pid = -1;
        }
    }

  private:
    std::string m_strPath;
    pid_t m_pid = -1;
};

// Stereo frames in which either channel is heard.
long HeardFrames(const std::vector<int16_t>& samples) {
    long nHeard = 0;
    for (std::size_t i = 0; i + 1 < samples.size(); i += 2) {
        nHeard += std::abs(samples[i]) > kHeard || std::abs(samples[i + 1]) > kHeard;
    }
    return nHeard;
}

double Rms(const std::vector<int16_t>& samples) {
    double fSum = 0;
    for (const int16_t nSample : samples) {
        fSum += static_cast<double>(nSample) * nSample;
    }
    return samples.empty() ? 0 : std::sqrt(fSum / static_cast<double>(samples.size()));
}

bool WaitFor(const std::function<bool()>& fnDone, int nTimeoutMs) {
    const auto tEnd = CClock::now() + milliseconds(nTimeoutMs);
    while (!fnDone()) {
        if (CClock::now() > tEnd) {
            return false;
        }
        std::this_thread::sleep_for(milliseconds(5));
    }
    return true;
}

// `corvina --play FILE --output pulse` on a pseudo-terminal of its own.
class CPtyPlayer {
  public:
    explicit CPtyPlayer(const std::string& strFile) {
        winsize size{};
        size.ws_row = 24;
        size.ws_col = 120;
        m_pid = forkpty(&m_nMaster, nullptr, nullptr, &size);
        if (m_pid == 0) {
            execl(CORVINA_BINARY, CORVINA_BINARY, "--play", strFile.c_str(), "--output", "pulse",
                  static_cast<char*>(nullptr));
            _exit(127);
        }
    }
    ~CPtyPlayer() {
        if (m_pid > 0) {
            kill(m_pid, SIGKILL);
            waitpid(m_pid, nullptr, 0);
        }
        close(m_nMaster);
    }
    CPtyPlayer(const CPtyPlayer&) = delete;
    CPtyPlayer& operator=(const CPtyPlayer&) = delete;

    bool Started() const { return m_pid > 0; }
    void Type(char c) { ASSERT_EQ(write(m_nMaster, &c, 1), 1); }
    // Reads the terminal for nMs; fnChanged gets each time shown that differs
    // from the one before, as soon as it arrives.
    void Read(int nMs, const std::function<void(double)>& fnChanged = {}) {
        const auto tEnd = CClock::now() + milliseconds(nMs);
        const std::regex time(R"((\d+):(\d\d)\.(\d) /)");
        for (auto tNow = CClock::now(); tNow < tEnd; tNow = CClock::now()) {
            pollfd input{m_nMaster, POLLIN, 0};
            char buffer[4096];
            const int nWait =
                static_cast<int>(std::chrono::duration_cast<milliseconds>(tEnd - tNow).count());
            if (poll(&input, 1, nWait) <= 0) {
                continue;
            }
            const ssize_t nRead = read(m_nMaster, buffer, sizeof buffer);
            if (nRead <= 0) {
                return;
            }
            m_strText.append(buffer, static_cast<std::size_t>(nRead));
            std::smatch match;
            const std::size_t nLine = m_strText.find_last_of('\r');
            const std::string strLine =
                nLine == std::string::npos ? m_strText : m_strText.substr(nLine);
            if (std::regex_search(strLine, match, time)) {
                const double dShown =
                    std::stoi(match[1]) * 60 + std::stoi(match[2]) + std::stoi(match[3]) / 10.0;
                if (dShown != m_dShown && fnChanged) {
                    fnChanged(dShown);
                }
                m_dShown = dShown;
            }
            m_strText.erase(0, nLine == std::string::npos ? 0 : nLine);
        }
    }
    double Shown() const { return m_dShown; }
    int WaitForExit() {
        int nStatus = 0;
        for (int i = 0; i < 100 && waitpid(m_pid, &nStatus, WNOHANG) == 0; ++i) {
            Read(50);
        }
        m_pid = -1;
        return WIFEXITED(nStatus) ? WEXITSTATUS(nStatus) : -1;
    }

  private:
    pid_t m_pid = -1;
    int m_nMaster = -1;
    std::string m_strText;
    double m_dShown = -1;
};

// The second of pcm (stereo) whose left channel best matches the window of
// the recording that ends at frame nEnd, searched within a second of dNear.
double HeardSecond(const std::vector<int16_t>& pcm, const std::vector<int16_t>& heard, long nEnd,
                   double dNear) {
    constexpr long kWindow = 2048;
    if (nEnd < kWindow || static_cast<std::size_t>(nEnd * 2) > heard.size()) {
        return -1;
    }
    const long nFrames = static_cast<long>(pcm.size() / 2);
    const auto Score = [&](long nAt) {
        double fSum = 0;
        double fEnergy = 1;
        for (long i = 0; i < kWindow; ++i) {
            const double fSample = pcm[static_cast<std::size_t>((nAt + i) * 2)];
            fSum += fSample * heard[static_cast<std::size_t>((nEnd - kWindow + i) * 2)];
            fEnergy += fSample * fSample;
        }
        return fSum / std::sqrt(fEnergy);
    };
    const long nFrom = std::max(0L, static_cast<long>((dNear - 1) * kRate));
    const long nTo = std::min(nFrames - kWindow, static_cast<long>((dNear + 1) * kRate));
    long nBest = -1;
    double fBest = 0;
    for (long nAt = nFrom; nAt < nTo; nAt += 4) {
        if (const double fScore = Score(nAt); nBest < 0 || fScore > fBest) {
            nBest = nAt;
            fBest = fScore;
        }
    }
    for (long nAt = std::max(nFrom, nBest - 4); nAt < std::min(nTo, nBest + 4); ++nAt) {
        if (const double fScore = Score(nAt); fScore > fBest) {
            nBest = nAt;
            fBest = fScore;
        }
    }
    return static_cast<double>(nBest + kWindow) / kRate;
}

class SoundServerTest : public testing::Test {
  protected:
    void SetUp() override {
        ResetControlBlock();
        // Four seconds of the bundled sample: 192 kbit/s.
        std::vector<uint8_t> bytes =
            ReadFileBytes(std::string(CORVINA_SAMPLES_DIR) + "/corvina-sample.mp2");
        bytes.resize(4 * 24000);
        m_strFile = m_dir.Write("four seconds.mp2", bytes);
    }
    void TearDown() override {
        ShutdownPlayback();
        SetWaveDeviceName("");
        ResetControlBlock();
    }
    bool HasServer() const { return TestSink() != nullptr && IsSoundServerAnswering(); }
    bool Ended() const { return !IsWorkerRunning() && g_nPlayState == PLAY_ENDED; }

    CRecordingPresenter m_presenter;
    CTempDir m_dir;
    std::string m_strFile;
};

// The whole stream reaches the monitor, at its level, under its own name;
// a pause is silent within 100 ms, and the resumed stream neither loses nor
// repeats anything.
TEST_F(SoundServerTest, MonitorHearsTheWholeStreamNamedAndPausedAtOnce) {
    if (!HasServer()) {
        GTEST_SKIP() << "no sound server (run through scripts/with-sound-server)";
    }
    EXPECT_EQ(GetWaveDeviceName(), "pulse");  // the default where a server answers
    SetWaveDeviceName("pulse");
    CMonitorRecorder recorder(m_dir.File("monitor.raw"));
    ASSERT_TRUE(recorder.IsRunning());
    CCorvinaDoc document;
    ASSERT_TRUE(document.OpenDocument(m_strFile));
    ASSERT_TRUE(document.ExecuteCommand(ID_PLAY_PLAYBACK));

    std::this_thread::sleep_for(milliseconds(1200));
    const std::string strInput = OurSinkInput();
    EXPECT_NE(strInput.find("media.name = \"four seconds.mp2\""), std::string::npos) << strInput;
    EXPECT_NE(strInput.find("application.icon_name = \"corvina\""), std::string::npos);
    EXPECT_EQ(strInput.find("media.role"), std::string::npos);

    ASSERT_TRUE(document.ExecuteCommand(ID_PLAY_PAUSE));
    const auto tPause = CClock::now();
    std::this_thread::sleep_for(milliseconds(150));
    const long nHeardAtPause = HeardFrames(recorder.Samples());
    EXPECT_NE(OurSinkInput().find("Corked: yes"), std::string::npos);
    std::this_thread::sleep_for(milliseconds(600));
    // 150 ms: the 100 ms of the pause and the recorder's own delay.
    EXPECT_LE(HeardFrames(recorder.Samples()) - nHeardAtPause, kRate / 100)
        << "heard after the pause, " << (CClock::now() - tPause).count();

    ASSERT_TRUE(document.ExecuteCommand(ID_PLAY_PLAYBACK));
    ASSERT_TRUE(WaitFor([this] { return Ended(); }, 15000));
    std::this_thread::sleep_for(milliseconds(300));
    recorder.Stop();

    const std::vector<int16_t> decoded = DecodedPcm(m_strFile);
    const std::vector<int16_t> heard = recorder.Samples();
    // Within 200 ms, the cycles of the server's graph that a loaded machine
    // misses in the monitor (118 ms seen): a lost or repeated buffer of ten
    // frames is 261 ms.
    EXPECT_NEAR(HeardFrames(heard), HeardFrames(decoded), kRate / 5);
    // The level, through the server's resampling; silence around counts not.
    std::vector<int16_t> loud;
    for (const int16_t nSample : heard) {
        if (std::abs(nSample) > 0) {
            loud.push_back(nSample);
        }
    }
    EXPECT_NEAR(Rms(loud) / Rms(decoded), 1.0, 0.1);
    EXPECT_TRUE(m_presenter.Messages().empty());
}

// Twenty seeks by the keys, 0.1 to 1 s apart, on two minutes of music: the
// monitor hears it at one second per second with no gap longer than 100 ms
// outside the seeks, and the time shown is the sound heard within 0.2 s. A
// server on a busy virtual machine loses cycles of its graph by itself (16
// gaps of 10 to 42 ms in 20 s seen with paplay); a starved one loses a
// buffer, 261 ms.
TEST_F(SoundServerTest, TwentySeeksPlayOnWithoutGapsShowingTheTimeHeard) {
    if (!HasServer()) {
        GTEST_SKIP() << "no sound server (run through scripts/with-sound-server)";
    }
    std::vector<uint8_t> bytes;
    const std::vector<uint8_t> sample =
        ReadFileBytes(std::string(CORVINA_SAMPLES_DIR) + "/corvina-sample.mp2");
    for (int i = 0; i < 6; ++i) {
        bytes.insert(bytes.end(), sample.begin(), sample.end());
    }
    const std::string strFile = m_dir.Write("two minutes.mp2", bytes);
    const std::vector<int16_t> decoded = DecodedPcm(strFile);
    CMonitorRecorder recorder(m_dir.File("monitor.raw"));
    ASSERT_TRUE(recorder.IsRunning());
    CPtyPlayer player(strFile);
    ASSERT_TRUE(player.Started());
    for (int i = 0; i < 100 && player.Shown() < 1.0; ++i) {
        player.Read(50);
    }
    ASSERT_GE(player.Shown(), 1.0);
    const long nFirst = recorder.RecordedFrames();
    std::vector<long> seeks;
    std::vector<std::pair<long, double>> checks;  // recorded frame, time shown then
    const char* pszKeys = ":.,;b";
    for (int i = 0; i < 20; ++i) {
        seeks.push_back(recorder.RecordedFrames());
        player.Type(pszKeys[i % 5]);
        const int nGapMs = 100 + (i * 7 % 10) * 100;
        const auto tSeek = CClock::now();
        bool bChecked = false;
        player.Read(nGapMs, [&](double dShown) {
            if (!bChecked && CClock::now() - tSeek > milliseconds(300)) {
                checks.emplace_back(recorder.RecordedFrames(), dShown);
                bChecked = true;
            }
        });
    }
    player.Read(1500);
    const long nLast = recorder.RecordedFrames();
    player.Type('q');
    EXPECT_EQ(player.WaitForExit(), 0);
    recorder.Stop();

    const std::vector<int16_t> heard = recorder.Samples();
    ASSERT_GE(static_cast<long>(heard.size() / 2), nLast);
    long nRun = 0;
    long nQuiet = 0;
    for (long nFrame = nFirst; nFrame < nLast; ++nFrame) {
        const bool bQuiet = std::abs(heard[static_cast<std::size_t>(nFrame * 2)]) <= 50;
        nRun = bQuiet ? nRun + 1 : 0;
        nQuiet += bQuiet ? 1 : 0;
        const bool bAfterSeek = std::any_of(seeks.begin(), seeks.end(), [&](long nSeek) {
            return nFrame >= nSeek && nFrame < nSeek + kRate / 5;
        });
        ASSERT_TRUE(bAfterSeek || nRun <= kRate / 10)
            << "gap at " << static_cast<double>(nFrame - nFirst) / kRate << " s";
    }
    // The seeks themselves are short silences; a starved server is half.
    EXPECT_LT(nQuiet, (nLast - nFirst) / 10) << "quiet frames";
    ASSERT_GE(checks.size(), 10U);
    // 0.1 s, 20 ms for the recorder's own delay, and what the server lost by
    // itself before that point. A moment the test itself was not run on a
    // loaded machine makes a check late (0.35 s and 0.98 s seen, one of
    // fourteen each time); a time shown from the decoder instead of the
    // server is late in every one.
    int nLate = 0;
    for (const auto& [nFrame, dShown] : checks) {
        const double dOff = HeardSecond(decoded, heard, nFrame, dShown) - (dShown + 0.05);
        if (std::abs(dOff) > 0.2) {
            ++nLate;
            std::fprintf(stderr, "shown %.1f s, heard %.2f s off\n", dShown, dOff);
        }
    }
    EXPECT_LE(nLate, 2) << "times shown more than 0.2 s from the sound heard";
}

// Three steps down move our stream's volume as the word says and leave the
// sink alone; a step starts from the volume as the desktop's mixer left it.
TEST_F(SoundServerTest, VolumeStepsMoveTheStreamAndNeverTheSink) {
    if (!HasServer()) {
        GTEST_SKIP() << "no sound server (run through scripts/with-sound-server)";
    }
    SetWaveDeviceName("pulse");
    const std::string strSink =
        std::string("pactl list sinks | grep -A12 'Name: ") + TestSink() + "'";
    const long nSinkBefore = VolumeOf(Shell(strSink));
    ASSERT_GT(nSinkBefore, 0);
    CCorvinaDoc document;
    ASSERT_TRUE(document.OpenDocument(m_strFile));
    ASSERT_TRUE(document.ExecuteCommand(ID_PLAY_PLAYBACK));
    ASSERT_TRUE(WaitFor([] { return !OurSinkInput().empty(); }, 3000));
    EXPECT_EQ(VolumeOf(OurSinkInput()), PA_VOLUME_NORM);
    for (int i = 0; i < 3; ++i) {
        ASSERT_TRUE(document.ExecuteCommand(ID_AUDIO_VOLUME_DOWN));
    }
    EXPECT_EQ(CSoundControl::GetVolume(), 0x9FFF9FFFu);
    const auto nExpected = static_cast<long>(pa_sw_volume_from_linear(0x9FFF / 65535.0));
    ASSERT_TRUE(WaitFor([&] { return std::labs(VolumeOf(OurSinkInput()) - nExpected) <= 1; }, 2000))
        << VolumeOf(OurSinkInput()) << " " << nExpected;
    EXPECT_EQ(VolumeOf(Shell(strSink)), nSinkBefore);

    // The desktop's mixer sets the stream to an eighth (50 % on its scale).
    const std::string strInput = OurSinkInput();
    const std::string strIndex = strInput.substr(12, strInput.find('\n') - 12);
    Shell("pactl set-sink-input-volume " + strIndex + " 50%");
    ASSERT_TRUE(document.ExecuteCommand(ID_AUDIO_VOLUME_UP));
    EXPECT_NEAR(static_cast<double>(CSoundControl::GetVolume() & 0xFFFF), 0x2000 + 0x2000, 2);
    EXPECT_EQ(VolumeOf(Shell(strSink)), nSinkBefore);
    // Full again, so the server remembers no lower volume for the next test.
    CSoundControl::SetVolume(0xFFFFFFFF);
}

// Mute is silence on the monitor and the server's own mute; unmuted, the
// stream has exactly the volume it had. The volume is kept under Corvina's
// own name: another program playing music afterwards starts at full volume.
TEST_F(SoundServerTest, MuteIsSilenceAndTheVolumeIsCorvinasAlone) {
    if (!HasServer()) {
        GTEST_SKIP() << "no sound server (run through scripts/with-sound-server)";
    }
    SetWaveDeviceName("pulse");
    CMonitorRecorder recorder(m_dir.File("monitor.raw"));
    CCorvinaDoc document;
    ASSERT_TRUE(document.OpenDocument(m_strFile));
    ASSERT_TRUE(document.ExecuteCommand(ID_PLAY_PLAYBACK));
    ASSERT_TRUE(WaitFor([] { return !OurSinkInput().empty(); }, 3000));
    ASSERT_TRUE(document.ExecuteCommand(ID_AUDIO_VOLUME_DOWN));
    ASSERT_TRUE(WaitFor([] { return VolumeOf(OurSinkInput()) < PA_VOLUME_NORM; }, 2000));
    const long nVolume = VolumeOf(OurSinkInput());
    EXPECT_NE(OurSinkInput().find("application.id = \"corvina\""), std::string::npos);

    CSoundControl::SetMuted(true);
    std::this_thread::sleep_for(milliseconds(400));
    const long nFrom = recorder.RecordedFrames();
    std::this_thread::sleep_for(milliseconds(500));
    const long nTo = recorder.RecordedFrames();
    EXPECT_NE(OurSinkInput().find("Mute: yes"), std::string::npos);
    CSoundControl::SetMuted(false);
    ASSERT_TRUE(WaitFor([] { return OurSinkInput().find("Mute: no") != std::string::npos; }, 2000));
    EXPECT_EQ(VolumeOf(OurSinkInput()), nVolume);
    std::this_thread::sleep_for(milliseconds(300));
    const long nAfter = recorder.RecordedFrames();
    // Full again while the stream lives, so the server keeps no lower volume
    // for Corvina's next stream.
    CSoundControl::SetVolume(0xFFFFFFFF);
    ShutdownPlayback();
    recorder.Stop();
    const std::vector<int16_t> heard = recorder.Samples();
    ASSERT_GE(heard.size(), static_cast<std::size_t>(nAfter * 2));
    EXPECT_EQ(Rms({heard.begin() + nFrom * 2, heard.begin() + nTo * 2}), 0.0);
    EXPECT_GT(Rms({heard.begin() + nTo * 2, heard.begin() + nAfter * 2}), 100.0);

    std::this_thread::sleep_for(milliseconds(1500));  // the server stores what it keeps
    FILE* pPacat = popen(
        "exec pacat --raw --property=media.role=music --property="
        "application.name=other </dev/zero",
        "w");
    ASSERT_NE(pPacat, nullptr);
    std::string strOther;
    WaitFor(
        [&] {
            const std::string strAll = Shell("pactl list sink-inputs");
            const std::size_t nAt = strAll.find("application.name = \"other\"");
            strOther =
                nAt == std::string::npos ? "" : strAll.substr(strAll.rfind("Sink Input #", nAt));
            // Listed before the server has given it its volume, it shows 0.
            return VolumeOf(strOther) > 0;
        },
        3000);
    Shell("pkill -x pacat");
    pclose(pPacat);
    EXPECT_EQ(VolumeOf(strOther), PA_VOLUME_NORM) << strOther;
    CSoundControl::SetVolume(0xFFFFFFFF);
}

// With the server stopped (SIGSTOP), q still ends the player within 0.5 s.
TEST_F(SoundServerTest, QuitIsPromptWithTheServerFrozen) {
    const char* pszPids = std::getenv("CORVINA_SOUND_SERVER_PIDS");
    if (!HasServer() || pszPids == nullptr) {
        GTEST_SKIP() << "no sound server of our own (run through scripts/with-sound-server)";
    }
    CPtyPlayer player(std::string(CORVINA_SAMPLES_DIR) + "/corvina-sample.mp2");
    ASSERT_TRUE(player.Started());
    player.Read(1500);
    ASSERT_GE(player.Shown(), 0.5);
    const auto Signal = [pszPids](int nSignal) {
        std::istringstream pids(pszPids);
        for (pid_t pid = 0; pids >> pid;) {
            kill(pid, nSignal);
        }
    };
    Signal(SIGSTOP);
    player.Read(200);
    player.Type('q');
    const auto tQuit = CClock::now();
    const int nStatus = player.WaitForExit();
    const auto tEnded = CClock::now();
    Signal(SIGCONT);
    EXPECT_EQ(nStatus, 0);
    EXPECT_LT(tEnded - tQuit, milliseconds(500));
}

// The server is killed while --play plays: it ends within 5 s, exit status
// 1, with the warning and the server's reason. Run on a server of its own.
TEST(SoundServerGoesAway, PlayEndsWithStatusOneAndTheReason) {
    const char* pszPids = std::getenv("CORVINA_SOUND_SERVER_PIDS");
    if (TestSink() == nullptr || pszPids == nullptr ||
        std::getenv("CORVINA_TEST_KILL_SERVER") == nullptr) {
        GTEST_SKIP() << "needs a sound server of its own (CORVINA_TEST_KILL_SERVER)";
    }
    CChildResult result;
    std::thread player([&] {
        result = RunChild(
            {CORVINA_BINARY, "--play", std::string(CORVINA_SAMPLES_DIR) + "/corvina-sample.mp2",
             "--output", "pulse"},
            30000);
    });
    std::this_thread::sleep_for(milliseconds(1500));
    std::istringstream pids(pszPids);
    pid_t pid = 0;
    while (pids >> pid) {
        kill(pid, SIGKILL);
    }
    const auto tKill = CClock::now();
    player.join();
    EXPECT_LT(CClock::now() - tKill, milliseconds(5000));
    EXPECT_FALSE(result.bTimedOut);
    EXPECT_EQ(result.nExitStatus, 1) << result.strErr;
    // One line: the file, the server's own words, then the warning.
    EXPECT_TRUE(
        std::regex_search(result.strErr, std::regex("^corvina: [^\n]*corvina-sample.mp2: [^\n(]+ "
                                                    "\\(Wave device open failed!\\)\n")))
        << result.strErr;
}

// On a device without a volume of its own the output scales the samples:
// three steps down, 0x9FFF of 0xFFFF for each channel.
TEST(PlayerGain, ThreeStepsDownScaleTheSamplesAsTheVolumeWordSays) {
    ResetControlBlock();
    CRecordingPresenter presenter;
    CTempDir dir;
    std::vector<uint8_t> bytes =
        ReadFileBytes(std::string(CORVINA_SAMPLES_DIR) + "/corvina-sample.mp2");
    bytes.resize(24000);
    const std::string strFile = dir.Write("one second.mp2", bytes);
    SetWaveDeviceName("wav:" + dir.File("out.wav"));
    {
        CCorvinaDoc document;
        ASSERT_TRUE(document.OpenDocument(strFile));
        for (int i = 0; i < 3; ++i) {
            ASSERT_TRUE(document.ExecuteCommand(ID_AUDIO_VOLUME_DOWN));
        }
        ASSERT_TRUE(document.ExecuteCommand(ID_PLAY_PLAYBACK));
        ASSERT_TRUE(
            WaitFor([] { return g_nPlayState == PLAY_ENDED && !IsWorkerRunning(); }, 10000));
    }
    SetWaveDeviceName("");
    std::vector<int16_t> expected = PaddedToBuffers(DecodedPcm(strFile), 2);
    for (int16_t& nSample : expected) {
        nSample = static_cast<int16_t>(nSample * 0x9FFF / 0xFFFF);
    }
    const CWavContents wav = ReadWav(dir.File("out.wav"));
    ASSERT_TRUE(wav.bValid);
    EXPECT_EQ(FirstDifference(wav.samples, expected), -1);
    ResetControlBlock();
}

}  // namespace
