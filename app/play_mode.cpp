// corvina --play: plays a file through the document and its worker, as the
// window does; on a terminal it is a small player with keys and a status line.
#include <fcntl.h>
#include <poll.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <csignal>
#include <cstdio>
#include <optional>
#include <string>

#include "app/run_modes.h"
#include "app/terminal.h"
#include "app/terminal_keys.h"
#include "player/control_block.h"
#include "player/corvina_doc.h"
#include "player/engine_events.h"
#include "player/playback_control.h"
#include "resources/resource_ids.h"

namespace {

// Set by the handler on whichever thread takes the signal and read by the
// main thread, so it is a lock-free atomic rather than a plain flag.
std::atomic<int> g_nSignal{0};
static_assert(std::atomic<int>::is_always_lock_free);
// The end of the wake-up pipe that the handler writes into, or -1.
std::atomic<int> g_nWakeFd{-1};

// Writes one byte into the pipe that the player's loop waits on. A full pipe
// already holds a wake-up, so a refused write loses nothing.
void WriteWakeByte(int nFd) {
    if (nFd >= 0) {
        const char c = 0;
        [[maybe_unused]] const ssize_t nWritten = write(nFd, &c, 1);
    }
}

void OnSignal(int nSignal) {
    const int nSavedErrno = errno;
    g_nSignal = nSignal;
    WriteWakeByte(g_nWakeFd.load());
    errno = nSavedErrno;
}

// The pipe that wakes the player's loop: the engine's events and the signals
// write into it, the loop waits on it together with the keys.
class CWakePipe {
  public:
    CWakePipe() {
        if (pipe2(m_anFds, O_NONBLOCK | O_CLOEXEC) != 0) {
            m_anFds[0] = m_anFds[1] = -1;
        }
    }
    ~CWakePipe() {
        for (int nFd : m_anFds) {
            if (nFd >= 0) {
                close(nFd);
            }
        }
    }
    CWakePipe(const CWakePipe&) = delete;
    CWakePipe& operator=(const CWakePipe&) = delete;

    bool IsOpen() const { return m_anFds[0] >= 0; }
    int GetReadFd() const { return m_anFds[0]; }
    int GetWriteFd() const { return m_anFds[1]; }
    void Wake() const { WriteWakeByte(m_anFds[1]); }
    void Drain() const {
        char buffer[64];
        while (read(m_anFds[0], buffer, sizeof buffer) > 0) {
        }
    }

  private:
    int m_anFds[2] = {-1, -1};
};

const char* StateName(int nState) {
    switch (nState) {
        case PLAY_IDLE:
            return "Idle";
        case PLAY_STARTED:
        case PLAY_RESUMED:
            return "Playing";
        case PLAY_STOPPING:
            return "Stopping";
        case PLAY_PAUSED:
            return "Paused";
        case PLAY_ENDED:
            return "Stopped";
        case PLAY_INVALID:
            return "Invalid";
        default:
            return "";
    }
}

std::string FormatTime(double fSeconds) {
    const long nSeconds = fSeconds > 0 ? static_cast<long>(fSeconds) : 0;
    char szText[32];
    std::snprintf(szText, sizeof szText, "%ld:%02ld", nSeconds / 60, nSeconds % 60);
    return szText;
}

bool IsPlaying(int nState) {
    return nState == PLAY_STARTED || nState == PLAY_RESUMED;
}

// The keys and the status line run on the main thread; the engine's events
// come on the thread that made the change and only wake the main thread,
// which then reads the control block itself.
class CTerminalPlayer : public CEngineListener {
  public:
    explicit CTerminalPlayer(CCorvinaDoc& document) : m_document(document) {
        AddEngineListener(this);
    }
    ~CTerminalPlayer() override { RemoveEngineListener(this); }
    CTerminalPlayer(const CTerminalPlayer&) = delete;
    CTerminalPlayer& operator=(const CTerminalPlayer&) = delete;

    void OnPlayStateChanged(int) override { Wake(); }
    void OnPositionChanged(int) override { Wake(); }
    void OnDecoderChanged(bool bHasDecoder, float fPlayingTime) override {
        m_fPlayingTime = bHasDecoder ? fPlayingTime : -1.0f;
        Wake();
    }

    const CWakePipe& GetWakePipe() const { return m_wakePipe; }
    // The main thread has woken: what changed is read from here on.
    void TakeWakeUp() {
        m_bWakePending = false;
        m_wakePipe.Drain();
    }

    // False when the user asked to quit.
    bool HandleKey(int nKey) {
        const int nID = FindKeyCommand(nKey);
        switch (nID) {
            case 0:
                break;
            case ID_QUIT:
                return false;
            case ID_SHOW_KEYS:
                EndStatusLine();
                std::fputs(TerminalKeysText().c_str(), stdout);
                break;
            case ID_TOGGLE_PAUSE:
                Execute(IsPlaying(g_nPlayState) ? ID_PLAY_PAUSE : ID_PLAY_PLAYBACK);
                break;
            case ID_VIEW_BITSTREAM_INFO:
                EndStatusLine();
                Execute(nID);
                break;
            default:
                Execute(nID);
                break;
        }
        return true;
    }

    // A stop by the user keeps the player open for another Play; only a
    // stream that ran out by itself ends it.
    bool StoppedByUser() const { return m_bStoppedByUser; }

    void ShowStatus() {
        const float fRunningTime = m_fPlayingTime;
        const bool bRunning = fRunningTime >= 0;
        const float fPlayingTime = bRunning ? fRunningTime : 0.0f;
        const int nPosition = g_nPosition;
        char szLine[128];
        std::snprintf(szLine, sizeof szLine, "\r%-8s %3d%%  %s / %s ", StateName(g_nPlayState),
                      nPosition, FormatTime(fPlayingTime * nPosition / 100.0).c_str(),
                      bRunning ? FormatTime(fPlayingTime).c_str() : "-:--");
        if (m_strLastStatus != szLine) {
            std::fputs(szLine, stdout);
            std::fflush(stdout);
            m_strLastStatus = szLine;
        }
    }

    void EndStatusLine() {
        if (!m_strLastStatus.empty()) {
            std::fputs("\n", stdout);
            m_strLastStatus.clear();
        }
    }

  private:
    // One byte in the pipe at a time is enough to wake the loop.
    void Wake() {
        if (!m_bWakePending.exchange(true)) {
            m_wakePipe.Wake();
        }
    }

    void Execute(int nID) {
        if (!m_document.ExecuteCommand(nID)) {
            return;
        }
        if (nID == ID_PLAY_STOP) {
            m_bStoppedByUser = true;
        } else if (nID == ID_PLAY_PLAYBACK || nID == ID_PLAY_LOOP) {
            m_bStoppedByUser = false;
        }
    }

    CCorvinaDoc& m_document;
    bool m_bStoppedByUser = false;
    std::string m_strLastStatus;
    CWakePipe m_wakePipe;
    std::atomic<bool> m_bWakePending{false};
    // The running decoder's playing time in seconds, -1 while none runs.
    std::atomic<float> m_fPlayingTime{-1.0f};
};

}  // namespace

int RunPlayMode(const CCommandLine& commandLine) {
    CCorvinaDoc document;
    if (!document.OpenDocument(commandLine.strFile)) {
        return EXIT_UNUSABLE;
    }
    if (commandLine.bSmooth) {
        document.ExecuteCommand(ID_AUDIO_SMOOTH);
    }
    CTerminalPlayer player(document);
    g_nWakeFd = player.GetWakePipe().GetWriteFd();
    std::signal(SIGINT, OnSignal);
    std::signal(SIGTERM, OnSignal);
    document.ExecuteCommand(commandLine.bLoop ? ID_PLAY_LOOP : ID_PLAY_PLAYBACK);

    std::optional<CRawTerminal> terminal;
    if (IsInteractiveTerminal()) {
        terminal.emplace();
    }
    // Without a pipe (no descriptors left) the loop looks now and then instead.
    const int nWaitMs = player.GetWakePipe().IsOpen() ? -1 : 100;
    while (g_nSignal == 0) {
        const int nState = g_nPlayState;
        // The worker sets the end as its last act; the shutdown below waits
        // for it to return.
        if (nState == PLAY_INVALID || (nState == PLAY_ENDED && !player.StoppedByUser())) {
            break;
        }
        if (terminal) {
            player.ShowStatus();
        }
        // Nothing is read from a standard input that is not a terminal, nor
        // from one that has hung up.
        const bool bKeys = terminal && !terminal->HasHungUp();
        pollfd waits[2] = {{player.GetWakePipe().GetReadFd(), POLLIN, 0},
                           {bKeys ? STDIN_FILENO : -1, POLLIN, 0}};
        if (poll(waits, 2, nWaitMs) <= 0) {
            continue;
        }
        if (waits[0].revents != 0) {
            player.TakeWakeUp();
        }
        if (waits[1].revents != 0) {
            const int nKey = terminal->ReadKey(0);
            if (nKey != KEY_NONE && !player.HandleKey(nKey)) {
                break;
            }
        }
    }
    if (terminal) {
        player.ShowStatus();
        player.EndStatusLine();
        terminal.reset();
    }
    const bool bInvalid = g_nPlayState == PLAY_INVALID;
    ShutdownPlayback();
    g_nWakeFd = -1;
    if (g_nSignal != 0) {
        return 128 + g_nSignal;
    }
    return bInvalid || HasPlaybackFailed() ? EXIT_UNUSABLE : EXIT_DECODED;
}
