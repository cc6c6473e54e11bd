// The engine events on the interface thread: each one that the window needs
// becomes a queued call there, so the engine never waits on the window.
#pragma once

#include <QObject>

#include "player/engine_events.h"

class CEngineEventRelay : public QObject, public CEngineListener {
    Q_OBJECT

  public:
    // Listens from construction to destruction; the signals come on the
    // thread of the relay.
    explicit CEngineEventRelay(QObject* pParent = nullptr);
    ~CEngineEventRelay() override;

    void OnPlayStateChanged(int nState) override;
    void OnDecoderChanged(bool bHasDecoder, float fPlayingTime) override;

  signals:
    void PlayStateChanged(int nState);
    void DecoderChanged(bool bHasDecoder, float fPlayingTime);
};
