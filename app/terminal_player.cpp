// The headless player of a list of files.
#include "app/terminal_player.h"

#include <algorithm>
#include <cmath>
#include <cstdio>

#include "app/status_line.h"
#include "app/terminal_keys.h"
#include "decoder/frame_header.h"
#include "output/sound_control.h"
#include "platform/message_presenter.h"
#include "player/control_block.h"
#include "player/corvina_doc.h"
#include "player/engine_events.h"
#include "player/playback_control.h"
#include "player/player_hooks.h"
#include "player/running_stream.h"
#include "resources/command_table.h"
#include "resources/resource_ids.h"

using namespace corvina;

namespace {

constexpr auto kVolumeShown = std::chrono::seconds(3);

bool IsPlaying(int nState) {
    return nState == PLAY_STARTED || nState == PLAY_RESUMED;
}

// The name the Audio menu gives the programme chosen, without its mnemonic.
std::string ChannelChoiceName(int nChoice) {
    const CCommandInfo* pCommand = FindCommand(ID_AUDIO_CHANNEL_BOTH + nChoice);
    std::string strName = pCommand != nullptr ? pCommand->pszMenuText : "";
    std::erase(strName, '&');
    return strName;
}

const char* StateName(int nState) {
    switch (nState) {
        case PLAY_STARTED:
        case PLAY_RESUMED:
            return "Playing";
        case PLAY_STOPPING:
            return "Stopping";
        case PLAY_PAUSED:
            return "Paused";
        case PLAY_INVALID:
            return "Invalid";
        default:
            return "Stopped";
    }
}

// m:ss.t, or h:mm:ss.t from an hour on, cut (not rounded) to the tenth, as
// a clock shows it.
std::string FormatTime(double dSeconds) {
    const long nTenths = dSeconds > 0 ? static_cast<long>(dSeconds * 10) : 0;
    char szText[40];
    if (nTenths >= 36000) {
        std::snprintf(szText, sizeof szText, "%ld:%02ld:%02ld.%ld", nTenths / 36000,
                      nTenths / 600 % 60, nTenths / 10 % 60, nTenths % 10);
    } else {
        std::snprintf(szText, sizeof szText, "%ld:%02ld.%ld", nTenths / 600, nTenths / 10 % 60,
                      nTenths % 10);
    }
    return szText;
}

std::string BaseName(const std::string& strPath) {
    if (strPath == "-") {
        return "standard input";
    }
    // An address is named whole: its last part may be empty or say nothing.
    if (strPath.find("://") != std::string::npos) {
        return strPath;
    }
    const std::size_t nSlash = strPath.find_last_of('/');
    return nSlash == std::string::npos ? strPath : strPath.substr(nSlash + 1);
}

// The running stream's format in one line, from its header word, and its
// tag lines; false while no decoder runs.
bool DescribeRunningFormat(std::string& strLine, std::string& strTags) {
    uint32_t dwWord = 0;
    {
        std::lock_guard<std::mutex> lock(g_DecoderLock);
        const CAudioDecoder* pDecoder = g_pDecoder.load();
        if (pDecoder == nullptr) {
            return false;
        }
        dwWord = pDecoder->FrameWord();
        strTags = FormatTrackTags(pDecoder->TrackInfo());
    }
    const CFrameHeader header(dwWord);
    const auto Name = [](const char* pszName) { return pszName != nullptr ? pszName : "?"; };
    strLine = std::string(header.IsLowSamplingRate() ? "MPEG-2 Layer " : "MPEG-1 Layer ") +
              Name(header.LayerName()) + ", " + Name(header.BitrateName()) + ", " +
              Name(header.SampleRateName()) + ", " + Name(header.ModeName());
    return true;
}

}  // namespace

CTerminalPlayer::CTerminalPlayer(CCorvinaDoc& document, std::vector<std::string> files, bool bLoop,
                                 std::function<void()> fnWake, CStatusLine* pStatus)
    : m_document(document),
      m_files(std::move(files)),
      m_bLoop(bLoop),
      m_fnWake(std::move(fnWake)),
      m_pStatus(pStatus) {
    AddEngineListener(this);
}

CTerminalPlayer::~CTerminalPlayer() {
    RemoveEngineListener(this);
}

void CTerminalPlayer::OnDecoderChanged(bool bHasDecoder, float fPlayingTime) {
    // The total stays on the line once the file has ended; an open tells it
    // before a decoder comes.
    if (bHasDecoder || fPlayingTime > 0.0f) {
        std::lock_guard<std::mutex> lock(m_lock);
        m_fPlayingTime = fPlayingTime;
    }
    m_fnWake();
}

void CTerminalPlayer::OnHeardTimeChanged(const CHeardTime& heard) {
    std::lock_guard<std::mutex> lock(m_lock);
    m_heard = heard;
}

double CTerminalPlayer::HeardSeconds() {
    std::lock_guard<std::mutex> lock(m_lock);
    return m_heard.At(CClock::now());
}

void CTerminalPlayer::Start(const CStartPoint& start) {
    if (!PlayFrom(0, 1, start)) {
        m_bDone = true;
    }
}

bool CTerminalPlayer::PlayFrom(int nIndex, int nStep, const CStartPoint& start) {
    const int nCount = static_cast<int>(m_files.size());
    for (int nTried = 0; nTried < nCount; ++nTried, nIndex += nStep) {
        if (nIndex >= nCount || nIndex < 0) {
            // Round again only when the pass before played something, so a
            // list of files that all fail ends.
            if (!m_bLoop || !m_bPlayedThisPass) {
                return false;
            }
            m_bPlayedThisPass = false;
            nIndex = nIndex < 0 ? nCount - 1 : 0;
        }
        m_nIndex = nIndex;
        StopPlayback();
        {
            std::lock_guard<std::mutex> lock(m_lock);
            m_fPlayingTime = -1.0f;
        }
        // The file's name comes before anything said about it.
        const std::string& strFile = m_files[static_cast<std::size_t>(nIndex)];
        SetMessageSubject(strFile);
        AnnounceName();
        if (!m_document.OpenDocument(strFile)) {
            m_bFailed = true;
            continue;
        }
        StartPlayback(m_document, nTried == 0 ? start : CStartPoint{});
        AnnounceFormat();
        return true;
    }
    return false;
}

bool CTerminalPlayer::Advance(int nStep) {
    if (!PlayFrom(m_nIndex + nStep, nStep, CStartPoint{})) {
        m_bDone = true;
    }
    return !m_bDone;
}

void CTerminalPlayer::AnnounceName() {
    if (m_pStatus == nullptr) {
        return;
    }
    // Appended piece by piece: GCC 12 at -O3 takes a chain of temporaries
    // starting at a literal for overlapping copies.
    std::string strText("[");
    strText += std::to_string(m_nIndex + 1);
    strText += '/';
    strText += std::to_string(m_files.size());
    strText += "] ";
    strText += ToDisplayText(m_files[static_cast<std::size_t>(m_nIndex)]);
    m_pStatus->PrintAbove(strText);
}

void CTerminalPlayer::AnnounceFormat() {
    std::string strFormat;
    std::string strTags;
    if (m_pStatus != nullptr && DescribeRunningFormat(strFormat, strTags)) {
        m_pStatus->PrintAbove(strFormat);
        // As mpg123 shows them: Title, Artist, Album, Year, Genre, Comment.
        for (std::size_t nAt = 0; nAt < strTags.size();) {
            const std::size_t nEnd = strTags.find('\n', nAt);
            m_pStatus->PrintAbove(ToDisplayText(strTags.substr(nAt, nEnd - nAt)));
            nAt = nEnd + 1;
        }
    }
}

bool CTerminalPlayer::Update() {
    if (m_bDone) {
        return false;
    }
    if (g_bDeviceFailed != 0) {
        // Every file would fail alike.
        m_bFailed = true;
        m_bDone = true;
        return false;
    }
    switch (g_nPlayState.load()) {
        case PLAY_INVALID:
            m_bFailed = true;
            // The worker tells why after the state: on a terminal the next
            // file's name waits for that (the loop looks again soon).
            if (m_pStatus != nullptr && IsWorkerRunning()) {
                return true;
            }
            return Advance(1);
        case PLAY_ENDED:
            m_bPlayedThisPass = true;
            return Advance(1);
        default:
            return true;
    }
}

bool CTerminalPlayer::HandleKey(int nKey) {
    const int nID = FindKeyCommand(nKey);
    const bool bRunning = g_pDecoder.load() != nullptr;
    switch (nID) {
        case ID_APP_EXIT:
            return false;
        case ID_PLAY_TOGGLE_PAUSE:
            TogglePause();
            break;
        case ID_PLAY_NEXT_FILE:
        case ID_PLAY_PREVIOUS_FILE: {
            // The first file starts over where there is none before it.
            const int nStep = nID == ID_PLAY_NEXT_FILE ? 1 : (m_nIndex > 0 ? -1 : 0);
            m_bPlayedThisPass = true;
            return nStep == 0 ? PlayFrom(0, 1, CStartPoint{}) : Advance(nStep);
        }
        case ID_PLAY_SEEK_FORWARD:
        case ID_PLAY_SEEK_BACK:
        case ID_PLAY_JUMP_FORWARD:
        case ID_PLAY_JUMP_BACK:
            if (bRunning) {
                const double dStep = nID == ID_PLAY_SEEK_FORWARD || nID == ID_PLAY_SEEK_BACK
                                         ? kSeekSeconds
                                         : kJumpSeconds;
                const bool bForward = nID == ID_PLAY_SEEK_FORWARD || nID == ID_PLAY_JUMP_FORWARD;
                MoveByTime(bForward ? dStep : -dStep);
            }
            break;
        case ID_PLAY_TO_START:
            if (bRunning) {
                MoveToTime(0.0);
            }
            break;
        case ID_AUDIO_VOLUME_UP:
        case ID_AUDIO_VOLUME_DOWN:
            m_document.ExecuteCommand(nID);
            ShowVolume();
            break;
        case ID_AUDIO_MUTE:
            ToggleMute();
            break;
        case ID_PLAY_TOGGLE_LOOP:
            m_bLoop = !m_bLoop;
            break;
        case ID_AUDIO_SMOOTH:
            ToggleSmooth();
            break;
        case ID_AUDIO_NEXT_TRACK:
            NextTrack();
            break;
        case ID_VIEW_BITSTREAM_INFO:
        case ID_AUDIO_CHANNEL_NEXT:
            m_document.ExecuteCommand(nID);
            break;
        case ID_VIEW_KEYS:
            if (m_pStatus != nullptr) {
                m_pStatus->PrintAbove(TerminalKeysText());
            }
            break;
        default:
            break;
    }
    return true;
}

void CTerminalPlayer::TogglePause() {
    const int nState = g_nPlayState;
    if (IsPlaying(nState)) {
        m_document.ExecuteCommand(ID_PLAY_PAUSE);
    } else if (nState == PLAY_PAUSED) {
        m_document.ExecuteCommand(ID_PLAY_PLAYBACK);
    }
}

// Silence, with the volume kept as it is for the unmute.
void CTerminalPlayer::ToggleMute() {
    CSoundControl::SetMuted(!CSoundControl::IsMuted());
    ShowVolume();
}

// Smooth playback is fixed for a stream once it runs, so the file starts
// again where it is heard.
void CTerminalPlayer::ToggleSmooth() {
    g_bSmoothPlay = g_bSmoothPlay == 0 ? 1 : 0;
    RestartWhereHeard();
}

// The track after the one playing, from where it is heard.
void CTerminalPlayer::NextTrack() {
    std::vector<CAudioTrack> tracks;
    if (!GetRunningTracks(tracks) || tracks.size() < 2) {
        return;
    }
    const int nPlaying = ChooseTrack(tracks, GetPlayerTrackChoice());
    CTrackChoice next;
    next.nTrack = (nPlaying + 1) % static_cast<int>(tracks.size()) + 1;
    SetPlayerTrackChoice(next);
    if (m_pStatus != nullptr) {
        m_pStatus->PrintAbove(
            TrackName(next.nTrack, tracks[static_cast<std::size_t>(next.nTrack - 1)]) + "\n");
    }
    RestartWhereHeard();
}

void CTerminalPlayer::RestartWhereHeard() {
    const std::string& strFile = m_files[static_cast<std::size_t>(m_nIndex)];
    const int nState = g_nPlayState;
    if (strFile == "-" || (!IsPlaying(nState) && nState != PLAY_PAUSED)) {
        return;
    }
    const double dHeard = HeardSeconds();
    StopPlayback();
    if (m_document.OpenDocument(strFile)) {
        StartPlayback(m_document, CStartPoint{dHeard, false});
    }
}

void CTerminalPlayer::ShowVolume() {
    m_volumeShownUntil = CClock::now() + kVolumeShown;
}

int CTerminalPlayer::MsUntilTimeChanges(int nMaxMs) {
    std::lock_guard<std::mutex> lock(m_lock);
    if (!m_heard.bMoving) {
        return nMaxMs;
    }
    const double dHeard = m_heard.At(CClock::now());
    const double dNext = (std::floor(dHeard * 10 + 1e-6) + 1) / 10;
    return std::clamp(static_cast<int>(std::ceil((dNext - dHeard) * 1000)), 1, nMaxMs);
}

std::string CTerminalPlayer::StatusText(int nColumns, const char* pszEnded) {
    float fPlayingTime = 0.0f;
    double dHeard = 0.0;
    {
        std::lock_guard<std::mutex> lock(m_lock);
        fPlayingTime = m_fPlayingTime;
        dHeard = m_heard.At(CClock::now());
    }
    // Times first, so that a long name never pushes them out. A playing
    // time of 0 is one not known (a pipe, a container not yet measured).
    std::string strHead = FormatTime(dHeard) + " / " +
                          (fPlayingTime > 0 ? FormatTime(fPlayingTime) : std::string("-:--.-"));
    strHead += "  ";
    // A live stream that waits for its server says so in place of its state.
    const ELiveState eLive = GetLiveState();
    strHead += pszEnded != nullptr                 ? pszEnded
               : eLive == ELiveState::Reconnecting ? "Reconnecting\u2026"
               : eLive == ELiveState::Buffering    ? "Buffering\u2026"
                                                   : StateName(g_nPlayState);
    strHead += "  [" + std::to_string(m_nIndex + 1) + "/" + std::to_string(m_files.size()) + "] ";
    std::string strMarks;
    if (m_bLoop) {
        strMarks += "  loop";
    }
    if (g_bSmoothPlay != 0) {
        strMarks += "  smooth";
    }
    if (IsRunningStreamDualChannel()) {
        strMarks += "  " + ChannelChoiceName(g_nDualChannel);
    }
    if (CSoundControl::IsMuted()) {
        strMarks += "  muted";
    } else if (CClock::now() < m_volumeShownUntil) {
        if (m_document.m_bCanVolumeUp == 0 && m_document.m_bCanVolumeDown == 0) {
            strMarks += "  no volume control";
        } else {
            // On the desktop mixer's scale: the cube root of the amplitude.
            const double dLinear = static_cast<double>(m_document.m_dwVolume & 0xFFFF) / 0xFFFF;
            strMarks += "  vol " + std::to_string(std::lround(std::cbrt(dLinear) * 100)) + "%";
        }
    }
    // The name takes what is left, shortened in its middle.
    // The title on air stands for a live stream's name.
    const std::string strLiveTitle = GetLiveTitle();
    const std::string strName = ToDisplayText(
        !strLiveTitle.empty() ? strLiveTitle
                              : BaseName(m_files[static_cast<std::size_t>(m_nIndex)]));
    const int nLeft = nColumns - DisplayColumns(strHead) - DisplayColumns(strMarks);
    return FitEnd(strHead + FitMiddle(strName, std::max(nLeft, 0)) + strMarks, nColumns);
}
