// The media player's player interface on the session bus: the transport
// commands, the position and what plays.
#pragma once

#include <QDBusAbstractAdaptor>
#include <QDBusObjectPath>
#include <QVariantMap>

class CMprisService;

class CMprisPlayerAdaptor : public QDBusAbstractAdaptor {
    Q_OBJECT
    Q_CLASSINFO("D-Bus Interface", "org.mpris.MediaPlayer2.Player")
    Q_PROPERTY(QString PlaybackStatus READ PlaybackStatus)
    Q_PROPERTY(QString LoopStatus READ LoopStatus WRITE SetLoopStatus)
    Q_PROPERTY(double Rate READ Rate)
    Q_PROPERTY(double MinimumRate READ Rate)
    Q_PROPERTY(double MaximumRate READ Rate)
    Q_PROPERTY(QVariantMap Metadata READ Metadata)
    Q_PROPERTY(double Volume READ Volume WRITE SetVolume)
    Q_PROPERTY(qlonglong Position READ Position)
    Q_PROPERTY(bool CanGoNext READ CanGoNext)
    Q_PROPERTY(bool CanGoPrevious READ CanGoPrevious)
    Q_PROPERTY(bool CanPlay READ CanPlay)
    Q_PROPERTY(bool CanPause READ CanPause)
    Q_PROPERTY(bool CanSeek READ CanSeek)
    Q_PROPERTY(bool CanControl READ CanControl)

  public:
    explicit CMprisPlayerAdaptor(CMprisService& service);

    QString PlaybackStatus() const;
    QString LoopStatus() const;
    void SetLoopStatus(const QString& strStatus);
    double Rate() const { return 1.0; }
    QVariantMap Metadata() const;
    double Volume() const;
    void SetVolume(double dVolume);
    qlonglong Position() const;
    bool CanGoNext() const;
    bool CanGoPrevious() const;
    bool CanPlay() const;
    bool CanPause() const;
    bool CanSeek() const;
    bool CanControl() const { return true; }

  public slots:
    void Next();
    void Previous();
    void Play();
    void Pause();
    void PlayPause();
    void Stop();
    void Seek(qlonglong nOffset);
    void SetPosition(const QDBusObjectPath& trackId, qlonglong nPosition);
    void OpenUri(const QString& strUri);

  signals:
    void Seeked(qlonglong nPosition);

  private:
    CMprisService& m_service;
};
