// corvina --play: plays a list of files through the document and its worker,
// as the window does; on a terminal it is a small player with keys and a
// status line.
#include <fcntl.h>
#include <poll.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <csignal>
#include <cstdio>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "app/run_modes.h"
#include "app/status_line.h"
#include "app/terminal.h"
#include "app/terminal_keys.h"
#include "app/terminal_player.h"
#include "decoder/audio_decoder.h"
#include "output/discard_sink.h"
#include "platform/wave_device.h"
#include "player/control_block.h"
#include "player/corvina_doc.h"
#include "player/playback_control.h"
#include "player/player_hooks.h"
#include "player/playlist_file.h"
#include "resources/resource_ids.h"

using namespace corvina;

namespace {

// Set by the handlers on whichever thread takes the signal and read by the
// main thread, so they are lock-free atomics rather than plain flags.
std::atomic<int> g_nSignal{0};
std::atomic<int> g_bStopAsked{0};  // Ctrl+Z
static_assert(std::atomic<int>::is_always_lock_free);
// The end of the wake-up pipe that the handlers write into, or -1.
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
    if (nSignal == SIGTSTP) {
        g_bStopAsked = 1;
    } else if (nSignal != SIGCONT) {
        g_nSignal = nSignal;
        InterruptPlayback();
    }
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
    // One byte in the pipe at a time is enough to wake the loop.
    void Wake() {
        if (!m_bPending.exchange(true)) {
            WriteWakeByte(m_anFds[1]);
        }
    }
    // Drained first, then cleared: a wake-up that comes after the drain
    // either finds the flag cleared and writes again, or came before what
    // the loop reads next. (Cleared first, a wake-up between the two would
    // be lost, and a short stream's end with it.)
    void Drain() {
        char buffer[64];
        while (read(m_anFds[0], buffer, sizeof buffer) > 0) {
        }
        m_bPending = false;
    }

  private:
    int m_anFds[2] = {-1, -1};
    std::atomic<bool> m_bPending{false};
};

// The terminal side of the player: raw keys and the status line while the
// player is in the terminal's foreground, nothing while it is not.
class CTerminalSide {
  public:
    CTerminalSide(int nFd, bool bOwned) : m_terminal(nFd, bOwned) { Refresh(); }
    ~CTerminalSide() {
        m_status.End();
        SetMessagePresenter(nullptr);
    }
    CTerminalSide(const CTerminalSide&) = delete;
    CTerminalSide& operator=(const CTerminalSide&) = delete;

    CStatusLine& Status() { return m_status; }
    CRawTerminal& Keys() { return m_terminal; }
    bool IsActive() const { return m_terminal.IsRaw(); }

    // Takes the terminal when the player is (again) in the foreground, and
    // lets it be while it is not.
    void Refresh() {
        const bool bWasActive = m_terminal.IsRaw();
        const bool bActive = m_terminal.Claim();
        if (bActive == bWasActive && m_bRefreshed) {
            return;
        }
        m_bRefreshed = true;
        m_status.SetHidden(!bActive);
        SetMessagePresenter(bActive ? &m_status : nullptr);
    }

    // Ctrl+Z: the terminal as the shell wants it, then stopped until fg or
    // bg; on return the modes are set again if the player is in front.
    void Suspend() {
        m_status.End();
        m_terminal.Release();
        m_status.SetHidden(true);
        SetMessagePresenter(nullptr);
        std::signal(SIGTSTP, SIG_DFL);
        raise(SIGTSTP);
        std::signal(SIGTSTP, OnSignal);
        Refresh();
    }

  private:
    CRawTerminal m_terminal;
    CStatusLine m_status;
    bool m_bRefreshed = false;
};

constexpr int kRedrawMs = 200;

// The files to play, each playlist's entries in its place. What a playlist
// leaves out is warned of and, like a file that cannot be opened, makes the
// exit status 1; a playlist that cannot be read stays in the list, so the
// player tells why as for any file.
std::vector<std::string> ExpandPlaylists(const CCommandLine& commandLine, bool& bLeftOut) {
    std::vector<std::string> files;
    for (std::size_t i = 0; i < commandLine.files.size(); ++i) {
        const std::string& strFile = commandLine.files[i];
        EPlaylistKind kind = GetPlaylistKind(strFile);
        const bool bListed = std::find(commandLine.listed.begin(), commandLine.listed.end(), i) !=
                             commandLine.listed.end();
        if (bListed && kind == EPlaylistKind::None) {
            kind = EPlaylistKind::M3u;
        }
        CPlaylist playlist;
        std::string strReason;
        if (kind == EPlaylistKind::None || !ReadPlaylistFile(strFile, kind, playlist, strReason)) {
            files.push_back(strFile);
            continue;
        }
        for (const std::string& strWarning : playlist.warnings) {
            std::fprintf(stderr, "Warning: %s: %s\n", strFile.c_str(), strWarning.c_str());
            bLeftOut = true;
        }
        for (CQueueEntry& entry : playlist.entries) {
            files.push_back(std::move(entry.strPath));
        }
    }
    return files;
}

// A start in seconds past the end of the first file is a usage error, as
// with --wav and --raw; a file that does not open is left to the player.
bool IsStartPastEnd(const CCommandLine& commandLine, const std::string& strFirst,
                    double& dPlayingTime) {
    const CStartPoint& start = commandLine.start;
    if (start.dValue <= 0.0 || start.bPercent || strFirst == "-") {
        return false;
    }
    CAudioDecoder::CHooks hooks;
    hooks.fnMakeSink = [](const CStreamFormat&) {
        return std::unique_ptr<CAudioSink>(std::make_unique<CDiscardSink>());
    };
    CAudioDecoder decoder(strFirst.c_str(), std::move(hooks));
    if (decoder.Initialize() == 0 || !decoder.AwaitWalk()) {
        return false;
    }
    dPlayingTime = decoder.PlayingTime();
    return dPlayingTime > 0 && start.dValue > dPlayingTime;
}

}  // namespace

int RunPlayMode(const CCommandLine& commandLine) {
    bool bLeftOut = false;
    const std::vector<std::string> files = ExpandPlaylists(commandLine, bLeftOut);
    if (files.empty()) {
        std::fputs("corvina: the playlists hold nothing to play\n", stderr);
        return EXIT_UNUSABLE;
    }
    if (double dPlayingTime = 0; IsStartPastEnd(commandLine, files.front(), dPlayingTime)) {
        std::fprintf(stderr, "corvina: %s: --start %g s is past the end of the stream (%.1f s)\n",
                     files.front().c_str(), commandLine.start.dValue, dPlayingTime);
        return EXIT_USAGE;
    }
    SetPlayerTrackChoice(commandLine.track);
    CCorvinaDoc document;
    if (commandLine.bSmooth) {
        document.ExecuteCommand(ID_AUDIO_SMOOTH);
    }
    CWakePipe wakePipe;
    g_nWakeFd = wakePipe.GetWriteFd();
    for (int nSignal : {SIGINT, SIGTERM, SIGPIPE, SIGTSTP, SIGCONT}) {
        std::signal(nSignal, OnSignal);
    }

    // Keys come from a terminal only when no stream or list does.
    const bool bStdinStream = std::find(files.begin(), files.end(), "-") != files.end() ||
                              std::find(commandLine.files.begin(), commandLine.files.end(), "-") !=
                                  commandLine.files.end();
    std::optional<CTerminalSide> terminal;
    bool bOwned = false;
    if (const int nKeys = OpenKeyTerminal(bStdinStream, bOwned); nKeys >= 0) {
        terminal.emplace(nKeys, bOwned);
    }
    CTerminalPlayer player(
        document, files, commandLine.bLoop, [&wakePipe] { wakePipe.Wake(); },
        terminal ? &terminal->Status() : nullptr);
    player.Start(commandLine.start);
    bool bQuit = false;

    // The status line is redrawn five times a second; without a pipe (no
    // descriptors left) the loop also looks now and then instead.
    while (g_nSignal == 0 && player.Update()) {
        if (terminal) {
            if (g_bStopAsked.exchange(0) != 0) {
                terminal->Suspend();
            }
            // A shell's fg does not always continue the job with a signal
            // (one started with &): the foreground is looked at each pass.
            terminal->Refresh();
            if (terminal->IsActive()) {
                terminal->Status().Show(player.StatusText(TerminalColumns() - 1));
            }
        }
        const bool bActive = terminal && terminal->IsActive();
        const bool bKeys = bActive && !terminal->Keys().HasHungUp();
        const int nWaitMs = bActive                          ? player.MsUntilTimeChanges(kRedrawMs)
                            : terminal || !wakePipe.IsOpen() ? kRedrawMs
                                                             : -1;
        pollfd waits[2] = {{wakePipe.GetReadFd(), POLLIN, 0},
                           {bKeys ? terminal->Keys().GetFd() : -1, POLLIN, 0}};
        if (poll(waits, 2, nWaitMs) <= 0) {
            continue;
        }
        if (waits[0].revents != 0) {
            wakePipe.Drain();
        }
        if (waits[1].revents != 0) {
            const int nKey = terminal->Keys().ReadKey(0);
            if (nKey != KEY_NONE && !player.HandleKey(nKey)) {
                bQuit = FindKeyCommand(nKey) == ID_APP_EXIT;
                break;
            }
        }
    }
    // The last line says how playback ended.
    if (terminal && terminal->IsActive()) {
        const char* pszEnded = g_nSignal != 0 ? "Interrupted" : bQuit ? "Quit" : "Stopped";
        terminal->Status().Show(player.StatusText(TerminalColumns() - 1, pszEnded));
    }
    const bool bDeviceFailed = g_bDeviceFailed != 0;
    ShutdownPlayback();
    terminal.reset();
    g_nWakeFd = -1;
    if (g_nSignal != 0) {
        return 128 + g_nSignal;
    }
    // The device's failure was told when it happened.
    if (bDeviceFailed) {
        return EXIT_UNUSABLE;
    }
    return bLeftOut ? EXIT_UNUSABLE : player.ExitStatus();
}
