// The player's document.
#include "player/corvina_doc.h"

#include <vector>

#include "decoder/address_opener.h"
#include "output/sound_control.h"
#include "platform/file_access.h"
#include "platform/message_presenter.h"
#include "player/control_block.h"
#include "player/engine_events.h"
#include "player/file_length.h"
#include "player/folder_listing.h"
#include "player/playback_control.h"
#include "player/player_hooks.h"
#include "player/playlist_file.h"
#include "player/running_stream.h"
#include "resources/resource_ids.h"

using namespace corvina;

namespace {

bool IsOneOf(int nState, std::initializer_list<int> states) {
    for (int nCandidate : states) {
        if (nState == nCandidate) {
            return true;
        }
    }
    return false;
}

// Playback and Loop Play share their rules; the mark tells which of the two
// is running.
void UpdatePlayCommand(CCmdUI& cmdUI, bool bHasFile, int bLoopWanted) {
    const int nState = g_nPlayState;
    cmdUI.Enable(bHasFile && IsOneOf(nState, {PLAY_IDLE, PLAY_STOPPING, PLAY_PAUSED, PLAY_ENDED}));
    if (nState == PLAY_STARTED || nState == PLAY_RESUMED) {
        cmdUI.SetCheck(g_bLoopPlay == bLoopWanted);
    } else if (nState != PLAY_INVALID) {
        cmdUI.SetCheck(false);
    }
}

constexpr uint32_t kChannelMax = 0xFFFF;
// Previous this far into an entry starts it over instead.
constexpr double kRestartSeconds = 3.0;
// A box tells at most this many of the problems of an open.
constexpr std::size_t kMaxProblemsShown = 5;

bool IsPlaying(int nState) {
    return nState == PLAY_STARTED || nState == PLAY_RESUMED;
}

bool IsTrackCommand(int nID) {
    return nID >= ID_AUDIO_TRACK_1 && nID <= ID_AUDIO_TRACK_8;
}

// What the queue passes over is told on standard error: a box for each would
// stop the music at every one.
void WarnOnConsole(const std::string& strText) {
    CConsolePresenter().Present(MSG_WARNING, strText);
}

uint32_t Channel(uint32_t dwVolume, int nChannel) {
    return (dwVolume >> (16 * nChannel)) & 0xFFFF;
}

}  // namespace

CCorvinaDoc::CCorvinaDoc() {
    CSoundControl::SetVolume(m_dwVolume);
    SetPlayState(PLAY_IDLE);
}

CCorvinaDoc::~CCorvinaDoc() {
    ShutdownPlayback();
}

bool CCorvinaDoc::OnNewDocument() {
    if (!CDocument::OnNewDocument()) {
        return false;
    }
    m_queue.Clear();
    m_tracks.clear();
    return true;
}

bool CCorvinaDoc::OnOpenDocument(const std::string& strPath) {
    // An address is no file to look at: it is reached when it plays.
    if (!IsStreamAddress(strPath) && !CDocument::OnOpenDocument(strPath)) {
        return false;
    }
    // Whatever ends now was ended by this open, not by its stream.
    m_bRunWatched = false;
    // A worker between two runs of loop play holds no decoder but still
    // plays, so the test is whether a worker runs at all.
    // The stop's own wait is short; a worker still ending (slow to close its
    // device) is given as long as a start gives it.
    if (IsWorkerRunning()) {
        StopPlayback();
        if (!RetireWorker(kWorkerEndMs)) {
            return false;
        }
    }
    g_nPosition = 0;
    // Loop Play asked for the file before (one that may have proved invalid)
    // is not carried over to this one.
    g_bLoopPlay = 0;
    ShowPosition(0);
    SetPlayState(PLAY_IDLE);
    // Opened other than through the queue, the file is a queue of its own.
    if (m_queue.GetCurrent().strPath != strPath) {
        m_queue.Assign({CQueueEntry{strPath, {}, {}}});
    }
    // The front ends show the playing time and the tracks before Play.
    if (const float fPlayingTime = MeasureFileLength(strPath, m_tracks); fPlayingTime > 0.0f) {
        NotifyDecoderChanged(false, fPlayingTime);
    }
    return true;
}

std::vector<CQueueEntry> CCorvinaDoc::CollectEntries(const std::vector<std::string>& paths,
                                                     std::vector<std::string>& problems) {
    std::vector<CQueueEntry> entries;
    for (const std::string& strPath : paths) {
        const EPlaylistKind kind = GetPlaylistKind(strPath);
        if (kind == EPlaylistKind::None) {
            entries.push_back(CQueueEntry{strPath, {}, {}});
            continue;
        }
        CPlaylist playlist;
        std::string strReason;
        if (!ReadPlaylistFile(strPath, kind, playlist, strReason)) {
            problems.push_back("Cannot open \"" + strPath + "\": " + strReason + ".");
            continue;
        }
        for (const std::string& strWarning : playlist.warnings) {
            problems.push_back(strPath + ": " + strWarning);
        }
        if (playlist.entries.empty()) {
            problems.push_back(strPath + ": no entry to play");
        }
        for (CQueueEntry& entry : playlist.entries) {
            entry.strPlaylist = strPath;
            entries.push_back(std::move(entry));
        }
    }
    return entries;
}

bool CCorvinaDoc::OpenFile(const std::string& strPath) {
    if (GetPlaylistKind(strPath) != EPlaylistKind::None) {
        return OpenFiles({strPath});
    }
    if (!OpenDocument(strPath)) {
        return false;
    }
    if (strPath != "-" && !IsStreamAddress(strPath)) {
        std::vector<CQueueEntry> entries;
        std::size_t nIndex = 0;
        for (std::string& strEntry : ListFolderAround(strPath)) {
            if (strEntry == strPath) {
                nIndex = entries.size();
            }
            entries.push_back(CQueueEntry{std::move(strEntry), {}, {}});
        }
        m_queue.Assign(std::move(entries), nIndex);
    }
    return true;
}

bool CCorvinaDoc::OpenFiles(const std::vector<std::string>& paths) {
    std::vector<std::string> problems;
    std::vector<CQueueEntry> entries = CollectEntries(paths, problems);
    const CPlayQueue previous = m_queue;
    m_queue.Assign(std::move(entries));
    if (!m_queue.IsEmpty() && OpenEntryFrom(0, +1, false)) {
        for (const std::string& strProblem : problems) {
            WarnOnConsole(strProblem);
        }
        return true;
    }
    m_queue = previous;
    // Nothing opened: the user hears of it once, in the message presenter.
    std::string strText = "Nothing could be opened to play.";
    for (std::size_t i = 0; i < problems.size() && i < kMaxProblemsShown; ++i) {
        strText += "\n" + problems[i];
    }
    GetMessagePresenter().Present(MSG_WARNING, strText);
    return false;
}

bool CCorvinaDoc::OpenEntryFrom(std::size_t nIndex, int nStep, bool bPlay) {
    const std::size_t nOld = m_queue.GetIndex();
    const int bLoopPlay = g_bLoopPlay;
    for (std::size_t nTried = 0; nTried < m_queue.GetCount(); ++nTried) {
        const std::string strPath = m_queue.GetEntries()[nIndex].strPath;
        std::string strReason;
        if (!IsStreamAddress(strPath) && !CanReadStream(strPath.c_str(), strReason)) {
            WarnOnConsole("Cannot open \"" + strPath + "\": " + strReason + ", skipped");
        } else {
            m_queue.SetIndex(nIndex);
            if (OpenDocument(strPath)) {
                if (bPlay) {
                    // Loop Play goes on with the next entry.
                    g_bLoopPlay = bLoopPlay;
                    Play(true);
                }
                return true;
            }
            m_queue.SetIndex(nOld);
            // A worker that would not stop keeps every entry out alike.
            if (IsWorkerRunning()) {
                return false;
            }
        }
        if (!m_queue.FindStep(nIndex, nStep, nIndex)) {
            break;
        }
    }
    return false;
}

void CCorvinaDoc::Play(bool bQuiet) {
    m_bRunQuiet = bQuiet;
    m_bRunWatched = StartPlayback(*this, CStartPoint{},
                                  bQuiet ? EInvalidNotice::Console : EInvalidNotice::Presenter);
}

bool CCorvinaDoc::ContinueQueue() {
    const int nState = g_nPlayState;
    if (!m_bRunWatched || (nState != PLAY_ENDED && nState != PLAY_INVALID)) {
        return false;
    }
    m_bRunWatched = false;
    // A device that failed would fail every entry alike.
    if (HasPlaybackFailed()) {
        return false;
    }
    int nStep = 1;
    if (nState == PLAY_INVALID) {
        // The user's own start was told in a box and stays where it is.
        if (!m_bRunQuiet || ++m_nSkipped >= m_queue.GetCount()) {
            return false;
        }
        nStep = m_nLastStep;
    } else {
        m_nSkipped = 0;
    }
    std::size_t nNext = 0;
    if (!m_queue.FindStep(m_queue.GetIndex(), nStep, nNext)) {
        return false;
    }
    return OpenEntryFrom(nNext, nStep, true);
}

void CCorvinaDoc::OnPlayNextFile() {
    std::size_t nNext = 0;
    if (m_queue.FindStep(m_queue.GetIndex(), +1, nNext)) {
        m_nLastStep = 1;
        m_nSkipped = 0;
        OpenEntryFrom(nNext, +1, IsPlaying(g_nPlayState));
    }
}

void CCorvinaDoc::OnPlayPreviousFile() {
    const int nState = g_nPlayState;
    const bool bCanRestart =
        (IsPlaying(nState) || nState == PLAY_PAUSED) && IsRunningStreamSeekable();
    std::size_t nPrevious = 0;
    const bool bHasPrevious = m_queue.FindStep(m_queue.GetIndex(), -1, nPrevious);
    if (bCanRestart &&
        (!bHasPrevious || GetHeardTime().At(CHeardTime::CClock::now()) >= kRestartSeconds)) {
        MoveToTime(0.0);
        return;
    }
    if (bHasPrevious) {
        m_nLastStep = -1;
        m_nSkipped = 0;
        OpenEntryFrom(nPrevious, -1, IsPlaying(nState));
    }
}

void CCorvinaDoc::OnUpdateCommand(CCmdUI& cmdUI) {
    const int nState = g_nPlayState;
    if (IsTrackCommand(cmdUI.m_nID)) {
        UpdateTrackCommand(cmdUI);
        return;
    }
    switch (cmdUI.m_nID) {
        case ID_PLAY_PLAYBACK:
            UpdatePlayCommand(cmdUI, HasFile(), 0);
            break;
        case ID_PLAY_LOOP:
            UpdatePlayCommand(cmdUI, HasFile(), 1);
            break;
        case ID_PLAY_FAST_FORWARD:
        case ID_PLAY_REWIND:
            // A stream read from a pipe cannot be moved in.
            cmdUI.Enable(HasFile() && IsRunningStreamSeekable());
            break;
        case ID_PLAY_PAUSE:
            cmdUI.Enable(HasFile() && IsOneOf(nState, {PLAY_STARTED, PLAY_RESUMED}));
            break;
        case ID_PLAY_STOP:
            cmdUI.Enable(IsOneOf(nState, {PLAY_STARTED, PLAY_RESUMED, PLAY_PAUSED}));
            break;
        case ID_AUDIO_VOLUME_UP:
            cmdUI.Enable(HasFile() && m_bCanVolumeUp);
            break;
        case ID_AUDIO_VOLUME_DOWN:
            cmdUI.Enable(HasFile() && m_bCanVolumeDown);
            break;
        case ID_AUDIO_SMOOTH:
            cmdUI.Enable(IsOneOf(nState, {PLAY_IDLE, PLAY_STOPPING, PLAY_ENDED, PLAY_INVALID}));
            cmdUI.SetCheck(g_bSmoothPlay == 1);
            break;
        case ID_AUDIO_CHANNEL_BOTH:
        case ID_AUDIO_CHANNEL_FIRST:
        case ID_AUDIO_CHANNEL_SECOND:
        case ID_AUDIO_CHANNEL_MIX:
            // The choice is kept for every stream, offered while one with
            // two programmes plays.
            cmdUI.Show(IsRunningStreamDualChannel());
            cmdUI.SetCheck(g_nDualChannel == cmdUI.m_nID - ID_AUDIO_CHANNEL_BOTH);
            break;
        case ID_AUDIO_REPLAYGAIN_OFF:
        case ID_AUDIO_REPLAYGAIN_TRACK:
        case ID_AUDIO_REPLAYGAIN_ALBUM:
            // Taken by each stream as it starts, so it can change at any time.
            cmdUI.Enable(true);
            cmdUI.SetCheck(static_cast<int>(GetReplayGainMode()) ==
                           cmdUI.m_nID - ID_AUDIO_REPLAYGAIN_OFF);
            break;
        case ID_VIEW_BITSTREAM_INFO:
            // A decoder still searching for its first frame has nothing to
            // tell.
            cmdUI.Enable(IsRunningStreamReady());
            break;
        case ID_AUDIO_NEXT_TRACK: {
            std::vector<CAudioTrack> tracks;
            cmdUI.Enable(IsOneOf(nState, {PLAY_STARTED, PLAY_RESUMED, PLAY_PAUSED}) &&
                         GetRunningTracks(tracks) && tracks.size() > 1);
            break;
        }
        case ID_FILE_CLOSE:
            cmdUI.Enable(GetPathName().size() > 1);
            break;
        case ID_PLAY_NEXT_FILE:
            cmdUI.Enable(HasFile() && m_queue.HasNext());
            break;
        case ID_PLAY_PREVIOUS_FILE:
            // With no entry before, Previous still starts this one over.
            cmdUI.Enable(HasFile() &&
                         (m_queue.HasPrevious() ||
                          (IsOneOf(nState, {PLAY_STARTED, PLAY_RESUMED, PLAY_PAUSED}) &&
                           IsRunningStreamSeekable())));
            break;
        case ID_PLAY_TOGGLE_LOOP:
            cmdUI.Enable(true);
            cmdUI.SetCheck(m_queue.IsLooping());
            break;
        default:
            break;
    }
}

bool CCorvinaDoc::OnCommand(int nID) {
    if (IsTrackCommand(nID)) {
        SwitchTrack(nID - ID_AUDIO_TRACK_1 + 1);
        return true;
    }
    switch (nID) {
        case ID_PLAY_PLAYBACK:
            OnPlayPlayback();
            return true;
        case ID_PLAY_LOOP:
            g_bLoopPlay = 1;
            OnPlayPlayback();
            return true;
        case ID_PLAY_FAST_FORWARD:
            MovePosition(+5);
            return true;
        case ID_PLAY_REWIND:
            MovePosition(-10);
            return true;
        case ID_PLAY_PAUSE:
            PausePlayback();
            return true;
        case ID_PLAY_STOP:
            m_bRunWatched = false;
            StopPlayback();
            return true;
        case ID_PLAY_NEXT_FILE:
            OnPlayNextFile();
            return true;
        case ID_PLAY_PREVIOUS_FILE:
            OnPlayPreviousFile();
            return true;
        case ID_PLAY_TOGGLE_LOOP:
            m_queue.SetLooping(!m_queue.IsLooping());
            return true;
        case ID_AUDIO_VOLUME_UP:
            OnAudioVolumeUp();
            return true;
        case ID_AUDIO_VOLUME_DOWN:
            OnAudioVolumeDown();
            return true;
        case ID_AUDIO_SMOOTH:
            g_bSmoothPlay = g_bSmoothPlay == 0 ? 1 : 0;
            return true;
        case ID_AUDIO_CHANNEL_BOTH:
        case ID_AUDIO_CHANNEL_FIRST:
        case ID_AUDIO_CHANNEL_SECOND:
        case ID_AUDIO_CHANNEL_MIX:
            g_nDualChannel = nID - ID_AUDIO_CHANNEL_BOTH;
            return true;
        case ID_AUDIO_CHANNEL_NEXT:
            g_nDualChannel =
                (g_nDualChannel + 1) % (ID_AUDIO_CHANNEL_MIX - ID_AUDIO_CHANNEL_BOTH + 1);
            return true;
        case ID_AUDIO_REPLAYGAIN_OFF:
        case ID_AUDIO_REPLAYGAIN_TRACK:
        case ID_AUDIO_REPLAYGAIN_ALBUM:
            SetReplayGainMode(static_cast<EReplayGain>(nID - ID_AUDIO_REPLAYGAIN_OFF));
            return true;
        case ID_VIEW_BITSTREAM_INFO:
            ShowRunningStreamInfo();
            return true;
        case ID_AUDIO_NEXT_TRACK:
            OnAudioNextTrack();
            return true;
        case ID_FILE_CLOSE:
            OnFileClose();
            return true;
        default:
            return false;
    }
}

// One item per track of a file of several, named as --info names it, the
// one that plays (or will) marked. The tracks are those the open found: the
// rule never reads the running decoder.
void CCorvinaDoc::UpdateTrackCommand(CCmdUI& cmdUI) const {
    const std::vector<CAudioTrack>& tracks = m_tracks;
    const auto nIndex = static_cast<std::size_t>(cmdUI.m_nID - ID_AUDIO_TRACK_1);
    const bool bShown = tracks.size() > 1 && nIndex < tracks.size();
    cmdUI.Show(bShown);
    cmdUI.Enable(bShown);
    cmdUI.SetCheck(bShown &&
                   ChooseTrack(tracks, GetPlayerTrackChoice()) == static_cast<int>(nIndex));
    if (bShown) {
        cmdUI.SetText(TrackName(static_cast<int>(nIndex + 1), tracks[nIndex]));
    }
}

// The track after the one playing.
void CCorvinaDoc::OnAudioNextTrack() {
    std::vector<CAudioTrack> tracks;
    if (!GetRunningTracks(tracks) || tracks.size() < 2) {
        return;
    }
    SwitchTrack(
        (ChooseTrack(tracks, GetPlayerTrackChoice()) + 1) % static_cast<int>(tracks.size()) + 1);
}

// Track nTrack (1-based) from now on; a file that plays starts again on it
// where the sound is heard. The choice stays for the files played after it,
// as the command line's does.
void CCorvinaDoc::SwitchTrack(int nTrack) {
    const bool bSame = ChooseTrack(m_tracks, GetPlayerTrackChoice()) == nTrack - 1;
    CTrackChoice choice;
    choice.nTrack = nTrack;
    SetPlayerTrackChoice(choice);
    const int nState = g_nPlayState;
    if (bSame || (!IsPlaying(nState) && nState != PLAY_PAUSED)) {
        return;
    }
    const double dHeard = GetHeardTime().At(CHeardTime::CClock::now());
    // The run ended here is no end of the entry: the queue stays.
    m_bRunWatched = false;
    StopPlayback();
    if (RetireWorker(kWorkerEndMs)) {
        m_bRunQuiet = false;
        m_bRunWatched = StartPlayback(*this, CStartPoint{dHeard, false}, EInvalidNotice::Presenter);
    }
}

void CCorvinaDoc::OnPlayPlayback() {
    const int nState = g_nPlayState;
    if (nState == PLAY_IDLE || nState == PLAY_STOPPING || nState == PLAY_ENDED) {
        m_nSkipped = 0;
        Play(false);
    } else if (nState == PLAY_PAUSED) {
        ResumePlayback();
    }
}

// The two channels step on their own, each only when it has a whole step of
// room, so unequal channels never borrow from or carry into each other. With
// equal channels this is the same as stepping the whole word. A step that
// moves neither channel leaves that way closed until a step the other way.
void CCorvinaDoc::StepVolume(bool bUp) {
    int& bCanThisWay = bUp ? m_bCanVolumeUp : m_bCanVolumeDown;
    int& bCanOtherWay = bUp ? m_bCanVolumeDown : m_bCanVolumeUp;
    if (bCanThisWay == 1) {
        m_dwVolume = CSoundControl::GetVolume();
        uint32_t dwVolume = m_dwVolume;
        bool bMoved = false;
        for (int nChannel = 0; nChannel < 2; ++nChannel) {
            const uint32_t dwStep = Channel(m_dwVolumeStep, nChannel);
            const uint32_t dwRoom =
                bUp ? kChannelMax - Channel(dwVolume, nChannel) : Channel(dwVolume, nChannel);
            if (dwRoom >= dwStep) {
                const uint32_t dwMove = dwStep << (16 * nChannel);
                dwVolume = bUp ? dwVolume + dwMove : dwVolume - dwMove;
                bMoved = true;
            }
        }
        if (!bMoved) {
            bCanThisWay = 0;
            bCanOtherWay = 1;
            return;
        }
        m_dwVolume = dwVolume;
        CSoundControl::SetVolume(m_dwVolume);
    }
    bCanOtherWay = 1;
}

void CCorvinaDoc::OnAudioVolumeUp() {
    StepVolume(true);
}

void CCorvinaDoc::OnAudioVolumeDown() {
    StepVolume(false);
}

void CCorvinaDoc::OnFileClose() {
    if (g_pDecoder.load() != nullptr) {
        m_bRunWatched = false;
        StopPlayback();
    }
}
