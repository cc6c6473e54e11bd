// The player on the session bus as a media player of the desktop, so that
// its media controls, the lock screen and the keyboard's media keys work
// Corvina. What it shows follows the engine's events as the window gets
// them; what it is asked goes through the window's command router, each
// command only when its rule allows it. Without a session bus it does
// nothing.
#pragma once

#include <QObject>
#include <QStringList>
#include <QVariantMap>
#include <functional>
#include <string>

#include "ui/cover_file.h"

class CCorvinaDoc;
class CMainFrame;
class CMprisPlayerAdaptor;

class CMprisService : public QObject {
    Q_OBJECT

  public:
    static constexpr const char* kServiceName = "org.mpris.MediaPlayer2.corvina";
    static constexpr const char* kObjectPath = "/org/mpris/MediaPlayer2";

    // Takes the name on the session bus when there is one.
    CMprisService(CMainFrame& frame, CCorvinaDoc& document, QObject* pParent = nullptr);
    ~CMprisService() override;

    bool IsRegistered() const { return m_bRegistered; }

    // The player's properties that change, by their names on the bus; the
    // position, which changes all the time, is asked alone.
    QVariantMap GetPlayerProperties() const;
    qlonglong GetPosition() const;
    QStringList GetSupportedMimeTypes() const;

    // The requests from the bus. Each is carried out once the caller has
    // had its answer, so a message box that a command may open keeps no
    // caller waiting.
    void RunCommand(int nID);
    void Raise();
    void Seek(qlonglong nOffset);
    void SetPosition(const QString& strTrackId, qlonglong nPosition);
    void OpenUri(const QString& strUri);
    void SetVolume(double dVolume);
    // "None", "Track" or "Playlist"; anything else is no request.
    void SetLoopStatus(const QString& strStatus);

  private:
    void Later(std::function<void()> fnRequest);
    // Sends PropertiesChanged with whatever differs from what was sent.
    void PublishChanges();
    QString GetTrackId() const;
    // The volume word as 0..1.
    double GetVolume() const;
    // Moves to dSeconds of the playing time, as a whole percent.
    void MoveTo(double dSeconds);

    CMainFrame& m_frame;
    CCorvinaDoc& m_document;
    CMprisPlayerAdaptor* m_pPlayer = nullptr;
    bool m_bRegistered = false;
    // Each opened file is a track of its own.
    std::string m_strTrackPath;
    int m_nTrack = 0;
    CCoverFile m_cover;
    QVariantMap m_published;
};
