// The player's document.
#include "player/corvina_doc.h"

#include "output/sound_control.h"
#include "player/control_block.h"
#include "player/playback_control.h"
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
    return CDocument::OnNewDocument();
}

bool CCorvinaDoc::OnOpenDocument(const std::string& strPath) {
    if (!CDocument::OnOpenDocument(strPath)) {
        return false;
    }
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
    return true;
}

void CCorvinaDoc::OnUpdateCommand(CCmdUI& cmdUI) {
    const int nState = g_nPlayState;
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
        case ID_VIEW_BITSTREAM_INFO:
            // A decoder still searching for its first frame has nothing to
            // tell.
            cmdUI.Enable(IsRunningStreamReady());
            break;
        case ID_FILE_CLOSE:
            cmdUI.Enable(GetPathName().size() > 1);
            break;
        default:
            break;
    }
}

bool CCorvinaDoc::OnCommand(int nID) {
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
            StopPlayback();
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
        case ID_VIEW_BITSTREAM_INFO:
            ShowRunningStreamInfo();
            return true;
        case ID_FILE_CLOSE:
            OnFileClose();
            return true;
        default:
            return false;
    }
}

void CCorvinaDoc::OnPlayPlayback() {
    const int nState = g_nPlayState;
    if (nState == PLAY_IDLE || nState == PLAY_STOPPING || nState == PLAY_ENDED) {
        StartPlayback(*this);
    } else if (nState == PLAY_PAUSED) {
        ResumePlayback();
    }
}

// The two channels step on their own, each only when it has a whole step of
// room, so unequal channels never borrow from or carry into each other. With
// equal channels this is the same as stepping the whole word.
void CCorvinaDoc::OnAudioVolumeUp() {
    if (m_bCanVolumeUp == 1) {
        m_dwVolume = CSoundControl::GetVolume();
        uint32_t dwVolume = m_dwVolume;
        bool bMoved = false;
        for (int nChannel = 0; nChannel < 2; ++nChannel) {
            const uint32_t dwStep = Channel(m_dwVolumeStep, nChannel);
            if (kChannelMax - Channel(dwVolume, nChannel) >= dwStep) {
                dwVolume += dwStep << (16 * nChannel);
                bMoved = true;
            }
        }
        if (!bMoved) {
            m_bCanVolumeUp = 0;
            m_bCanVolumeDown = 1;
            return;
        }
        m_dwVolume = dwVolume;
        CSoundControl::SetVolume(m_dwVolume);
    }
    m_bCanVolumeDown = 1;
}

void CCorvinaDoc::OnAudioVolumeDown() {
    if (m_bCanVolumeDown == 1) {
        m_dwVolume = CSoundControl::GetVolume();
        uint32_t dwVolume = m_dwVolume;
        bool bMoved = false;
        for (int nChannel = 0; nChannel < 2; ++nChannel) {
            const uint32_t dwStep = Channel(m_dwVolumeStep, nChannel);
            if (Channel(dwVolume, nChannel) >= dwStep) {
                dwVolume -= dwStep << (16 * nChannel);
                bMoved = true;
            }
        }
        if (!bMoved) {
            m_bCanVolumeDown = 0;
            m_bCanVolumeUp = 1;
            return;
        }
        m_dwVolume = dwVolume;
        CSoundControl::SetVolume(m_dwVolume);
    }
    m_bCanVolumeUp = 1;
}

void CCorvinaDoc::OnFileClose() {
    if (g_pDecoder.load() != nullptr) {
        StopPlayback();
    }
}
