// The engine events on the interface thread: each one that the window needs
// becomes a queued call there, so the engine never waits on the window.
#pragma once

#include <QObject>
#include <atomic>
#include <thread>

#include "player/engine_events.h"

class CEngineEventRelay : public QObject, public CEngineListener {
    Q_OBJECT

  public:
    // Listens from construction to destruction; the signals come on the
    // thread of the relay.
    explicit CEngineEventRelay(QObject* pParent = nullptr);
    ~CEngineEventRelay() override;

    void OnPlayStateChanged(int nState) override;
    void OnPositionChanged(int nPosition) override;
    void OnDecoderChanged(bool bHasDecoder, float fPlayingTime) override;
    void OnHeardTimeChanged(const CHeardTime& heard) override;
    void OnTrackInfoChanged(const std::shared_ptr<const corvina::CTrackInfo>& pInfo) override;
    void OnLiveTitleChanged(const std::string& strTitle) override;
    void OnLiveStateChanged(corvina::ELiveState eState) override;

  signals:
    void PlayStateChanged(int nState);
    // bMoved: the position was moved on the interface thread (a seek, a
    // stop, an open) rather than reported by the playing worker.
    void PositionChanged(int nPosition, bool bMoved);
    void DecoderChanged(bool bHasDecoder, float fPlayingTime);
    // The second of the stream being heard now.
    void HeardTimeChanged(double dSeconds);
    void TrackInfoChanged(std::shared_ptr<const corvina::CTrackInfo> pInfo);
    // A live stream's title on air (UTF-8; empty: none) and its state.
    void LiveTitleChanged(const std::string& strTitle);
    void LiveStateChanged(corvina::ELiveState eState);

  private:
    // One queued call at a time carries the latest position, however often
    // the worker reports.
    std::atomic<int> m_nPosition{0};
    std::atomic<bool> m_bPositionPosted{false};
    std::atomic<bool> m_bHeardPosted{false};
    std::thread::id m_idInterfaceThread;
};
