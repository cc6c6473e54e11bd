// The engine events on the interface thread.
#include "ui/engine_event_relay.h"

CEngineEventRelay::CEngineEventRelay(QObject* pParent) : QObject(pParent) {
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

void CEngineEventRelay::OnDecoderChanged(bool bHasDecoder, float fPlayingTime) {
    QMetaObject::invokeMethod(
        this, [this, bHasDecoder, fPlayingTime] { emit DecoderChanged(bHasDecoder, fPlayingTime); },
        Qt::QueuedConnection);
}
