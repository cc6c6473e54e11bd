// Where the open file stands.
#include "ui/play_progress.h"

#include <algorithm>
#include <cmath>
#include <filesystem>

#include "player/control_block.h"
#include "ui/engine_event_relay.h"

using namespace corvina;

CPlayProgress::CPlayProgress(CEngineEventRelay& relay, QObject* pParent)
    : QObject(pParent), m_nState(g_nPlayState.load()) {
    connect(&relay, &CEngineEventRelay::PlayStateChanged, this, &CPlayProgress::OnPlayStateChanged);
    connect(&relay, &CEngineEventRelay::PositionChanged, this, &CPlayProgress::OnPositionPercent);
    connect(&relay, &CEngineEventRelay::DecoderChanged, this, &CPlayProgress::OnDecoderChanged);
    // The time shown is that of the sound heard; the worker's read position,
    // about a second ahead, is shown only for a move made here.
    connect(&relay, &CEngineEventRelay::HeardTimeChanged, this,
            [this](double dSeconds) { OnHeardPosition(dSeconds, false); });
    connect(&relay, &CEngineEventRelay::TrackInfoChanged, this,
            [this](std::shared_ptr<const CTrackInfo> pInfo) {
                if (!m_strPath.empty()) {
                    m_pTrackInfo = std::move(pInfo);
                    emit Changed();
                }
            });
    connect(&relay, &CEngineEventRelay::LiveTitleChanged, this,
            [this](const std::string& strTitle) {
                m_strLiveTitle = strTitle;
                emit Changed();
            });
    connect(&relay, &CEngineEventRelay::LiveStateChanged, this, [this](ELiveState eState) {
        m_eLiveState = eState;
        emit Changed();
    });
    m_sinceAnchor.start();
}

void CPlayProgress::SetFile(const std::string& strPath, const std::string& strTitle) {
    m_strPath = strPath;
    m_strTitle = strTitle;
    m_pTrackInfo.reset();
    m_strLiveTitle.clear();
    m_dLength = 0.0;
    m_nPercent = std::clamp(g_nPosition.load(), 0, 100);
    m_dAnchor = 0.0;
    m_sinceAnchor.restart();
    emit Changed();
}

std::string CPlayProgress::GetFileName() const {
    return std::filesystem::path(m_strPath).filename().string();
}

std::string CPlayProgress::GetTitle() const {
    if (!m_strLiveTitle.empty()) {
        return m_strLiveTitle;
    }
    // An address such as http://host/ has no name of its own.
    std::string strFallback = m_strTitle.empty() ? GetFileName() : m_strTitle;
    if (strFallback.empty()) {
        strFallback = m_strPath;
    }
    return m_pTrackInfo != nullptr ? TrackDisplayName(*m_pTrackInfo, strFallback) : strFallback;
}

bool CPlayProgress::IsPlaying() const {
    return m_nState == PLAY_STARTED || m_nState == PLAY_RESUMED;
}

double CPlayProgress::GetPosition() const {
    if (!IsPlaying() || m_dLength <= 0.0) {
        return m_dAnchor;
    }
    // The reports come a step apart; the clock fills the gap, never past the
    // next report's place, so the position never runs back when it comes.
    const double dSince = static_cast<double>(m_sinceAnchor.elapsed()) / 1000.0;
    return std::min(m_dAnchor + std::min(dSince, m_dLength / 100.0), m_dLength);
}

void CPlayProgress::OnHeardPosition(double dSeconds, bool bMoved) {
    if (!std::isfinite(dSeconds) || dSeconds < 0.0) {
        dSeconds = 0.0;
    }
    if (m_dLength > 0.0) {
        dSeconds = std::min(dSeconds, m_dLength);
    }
    // Playing on brings each report about where the clock says; anything
    // further off is a move. The tolerance covers the output's buffers
    // filling at the start and one report's step.
    const double dSince = IsPlaying() ? static_cast<double>(m_sinceAnchor.elapsed()) / 1000.0 : 0.0;
    const double dTolerance = std::max(1.5, 1.5 * m_dLength / 100.0);
    const double dOff = std::abs(dSeconds - (m_dAnchor + dSince));
    const bool bJumped = dOff > dTolerance || (bMoved && dOff > 0.001);
    m_dAnchor = dSeconds;
    m_sinceAnchor.restart();
    if (bJumped) {
        emit Jumped(dSeconds);
    }
    emit Changed();
}

void CPlayProgress::OnPlayStateChanged(int nState) {
    const bool bWasPlaying = IsPlaying();
    const double dPosition = GetPosition();
    m_nState = nState;
    if (bWasPlaying != IsPlaying()) {
        // A pause holds the position where the clock had brought it.
        m_dAnchor = dPosition;
        m_sinceAnchor.restart();
    }
    if (!IsPlaying() && nState != PLAY_PAUSED) {
        // A stop or an end leaves the position where the next play starts;
        // the engine does not report that move.
        m_nPercent = std::clamp(g_nPosition.load(), 0, 100);
        ShowReportedPosition(true);
        return;
    }
    emit Changed();
}

void CPlayProgress::OnPositionPercent(int nPercent, bool bMoved) {
    m_nPercent = nPercent;
    if (bMoved) {
        ShowReportedPosition(true);
    }
}

void CPlayProgress::ShowReportedPosition(bool bMoved) {
    OnHeardPosition(m_nPercent * m_dLength / 100.0, bMoved);
}

void CPlayProgress::OnDecoderChanged(bool /*bHasDecoder*/, float fPlayingTime) {
    // The playing time stays known after the decoder has gone, for the
    // stopped file's display; an open tells it before a decoder comes.
    if (std::isfinite(fPlayingTime) && fPlayingTime > 0.0f) {
        m_dLength = fPlayingTime;
        m_dAnchor = m_nPercent * m_dLength / 100.0;
        m_sinceAnchor.restart();
    }
    emit Changed();
}
