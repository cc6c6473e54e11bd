// The engine events on the interface thread.
#include "ui/engine_event_relay.h"

CEngineEventRelay::CEngineEventRelay(QObject* pParent)
    : QObject(pParent), m_idInterfaceThread(std::this_thread::get_id()) {
    AddEngineListener(this);
}

CEngineEventRelay::~CEngineEventRelay() {
    // After this no call comes in; one already queued dies with the relay.
    RemoveEngineListener(this);
}

void CEngineEventRelay::OnPlayStateChanged(int nState) {
    QMetaObject::invokeMethod(
        this, [this, nState] { emit PlayStateChanged(nState); }, Qt::QueuedConnection);
}

void CEngineEventRelay::OnPositionChanged(int nPosition) {
    // A move made here is told as it is, each one: it is rare, and the
    // listeners take it as a jump.
    if (std::this_thread::get_id() == m_idInterfaceThread) {
        QMetaObject::invokeMethod(
            this, [this, nPosition] { emit PositionChanged(nPosition, true); },
            Qt::QueuedConnection);
        return;
    }
    m_nPosition.store(nPosition);
    if (!m_bPositionPosted.exchange(true)) {
        QMetaObject::invokeMethod(
            this,
            [this] {
                m_bPositionPosted.store(false);
                emit PositionChanged(m_nPosition.load(), false);
            },
            Qt::QueuedConnection);
    }
}

void CEngineEventRelay::OnHeardTimeChanged(const CHeardTime&) {
    // One queued call at a time; it reads the latest report when it runs.
    if (!m_bHeardPosted.exchange(true)) {
        QMetaObject::invokeMethod(
            this,
            [this] {
                m_bHeardPosted.store(false);
                emit HeardTimeChanged(GetHeardTime().At(CHeardTime::CClock::now()));
            },
            Qt::QueuedConnection);
    }
}

void CEngineEventRelay::OnTrackInfoChanged(
    const std::shared_ptr<const corvina::CTrackInfo>& pInfo) {
    QMetaObject::invokeMethod(
        this, [this, pInfo] { emit TrackInfoChanged(pInfo); }, Qt::QueuedConnection);
}

void CEngineEventRelay::OnDecoderChanged(bool bHasDecoder, float fPlayingTime) {
    QMetaObject::invokeMethod(
        this, [this, bHasDecoder, fPlayingTime] { emit DecoderChanged(bHasDecoder, fPlayingTime); },
        Qt::QueuedConnection);
}

void CEngineEventRelay::OnLiveTitleChanged(const std::string& strTitle) {
    QMetaObject::invokeMethod(
        this, [this, strTitle] { emit LiveTitleChanged(strTitle); }, Qt::QueuedConnection);
}

void CEngineEventRelay::OnLiveStateChanged(corvina::ELiveState eState) {
    QMetaObject::invokeMethod(
        this, [this, eState] { emit LiveStateChanged(eState); }, Qt::QueuedConnection);
}
