// corvina --play: plays a file through the document and its worker, as the
// window does; on a terminal it is a small player with keys and a status line.
#include <poll.h>

#include <atomic>
#include <csignal>
#include <cstdio>
#include <optional>
#include <string>

#include "app/run_modes.h"
#include "app/terminal.h"
#include "app/terminal_keys.h"
#include "player/control_block.h"
#include "player/corvina_doc.h"
#include "player/playback_control.h"
#include "player/running_stream.h"
#include "resources/resource_ids.h"

namespace {

// Set by the handler on whichever thread takes the signal and read by the
// main thread, so it is a lock-free atomic rather than a plain flag.
std::atomic<int> g_nSignal{0};
static_assert(std::atomic<int>::is_always_lock_free);

void OnSignal(int nSignal) {
    g_nSignal = nSignal;
}

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

class CTerminalPlayer {
  public:
    explicit CTerminalPlayer(CCorvinaDoc& document) : m_document(document) {}

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
        float fPlayingTime = 0;
        const bool bRunning = GetRunningPlayingTime(fPlayingTime);
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
    std::signal(SIGINT, OnSignal);
    std::signal(SIGTERM, OnSignal);
    document.ExecuteCommand(commandLine.bLoop ? ID_PLAY_LOOP : ID_PLAY_PLAYBACK);

    CTerminalPlayer player(document);
    std::optional<CRawTerminal> terminal;
    if (IsInteractiveTerminal()) {
        terminal.emplace();
    }
    while (g_nSignal == 0) {
        const int nState = g_nPlayState;
        const bool bEnded = nState == PLAY_ENDED || nState == PLAY_INVALID;
        if (nState == PLAY_INVALID || (bEnded && !player.StoppedByUser() && !IsWorkerRunning())) {
            break;
        }
        if (!terminal) {
            // Nothing is read from a standard input that is not a terminal.
            poll(nullptr, 0, 100);
            continue;
        }
        player.ShowStatus();
        const int nKey = terminal->ReadKey(100);
        if (nKey != KEY_NONE && !player.HandleKey(nKey)) {
            break;
        }
    }
    if (terminal) {
        player.ShowStatus();
        player.EndStatusLine();
        terminal.reset();
    }
    const bool bInvalid = g_nPlayState == PLAY_INVALID;
    ShutdownPlayback();
    if (g_nSignal != 0) {
        return 128 + g_nSignal;
    }
    return bInvalid ? EXIT_UNUSABLE : EXIT_DECODED;
}
