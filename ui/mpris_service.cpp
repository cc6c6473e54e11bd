// The player on the session bus.
#include "ui/mpris_service.h"

#include <QDBusConnection>
#include <QDBusMessage>
#include <QDBusObjectPath>
#include <QUrl>
#include <algorithm>
#include <cmath>
#include <cstdio>

#include "player/control_block.h"
#include "player/corvina_doc.h"
#include "resources/command_table.h"
#include "ui/desktop_entry.h"
#include "ui/main_frame.h"
#include "ui/mpris_player_adaptor.h"
#include "ui/mpris_root_adaptor.h"
#include "ui/play_progress.h"
#include "ui/qt_strings.h"

using namespace corvina;

namespace {

constexpr const char* kPlayerInterface = "org.mpris.MediaPlayer2.Player";
constexpr const char* kNoTrack = "/org/mpris/MediaPlayer2/TrackList/NoTrack";
constexpr double kMicroseconds = 1e6;
// No volume step moves further than this many times.
constexpr int kMaxVolumeSteps = 16;

QString PlaybackStatusOf(int nState) {
    switch (nState) {
        case PLAY_STARTED:
        case PLAY_RESUMED:
            return QStringLiteral("Playing");
        case PLAY_PAUSED:
            return QStringLiteral("Paused");
        default:
            return QStringLiteral("Stopped");
    }
}

// The tags as xesam names them: the people, the genre and the comment as
// lists of strings.
void AddTags(const CTrackInfo& info, QVariantMap& metadata) {
    const auto add = [&metadata](const char* pszKey, const std::string& strValue, bool bList) {
        if (!strValue.empty()) {
            metadata.insert(
                QString::fromUtf8(pszKey),
                bList ? QVariant(QStringList{FromUtf8(strValue)}) : QVariant(FromUtf8(strValue)));
        }
    };
    add("xesam:title", info.strTitle, false);
    add("xesam:artist", info.strArtist, true);
    add("xesam:albumArtist", info.strAlbumArtist, true);
    add("xesam:album", info.strAlbum, false);
    add("xesam:genre", info.strGenre, true);
    add("xesam:comment", info.strComment, true);
    add("xesam:contentCreated", info.strDate, false);
    if (info.nTrackNumber > 0) {
        metadata.insert(QStringLiteral("xesam:trackNumber"), info.nTrackNumber);
    }
}

}  // namespace

CMprisService::CMprisService(CMainFrame& frame, CCorvinaDoc& document, QObject* pParent)
    : QObject(pParent), m_frame(frame), m_document(document) {
    new CMprisRootAdaptor(*this);
    m_pPlayer = new CMprisPlayerAdaptor(*this);
    CPlayProgress& progress = m_frame.GetProgress();
    connect(&progress, &CPlayProgress::Changed, this, &CMprisService::PublishChanges);
    connect(&progress, &CPlayProgress::Jumped, this, [this](double dSeconds) {
        emit m_pPlayer->Seeked(std::llround(dSeconds * kMicroseconds));
    });
    // The volume and the loop mode change by commands, not by engine events.
    connect(&m_frame.GetRouter(), &CCommandRouter::CommandRun, this,
            &CMprisService::PublishChanges);
    PublishChanges();

    QDBusConnection bus = QDBusConnection::sessionBus();
    // No session bus is no fault: the desktop has no media controls then.
    if (!bus.isConnected()) {
        return;
    }
    if (!bus.registerObject(QString::fromUtf8(kObjectPath), this)) {
        return;
    }
    m_bRegistered = bus.registerService(QString::fromUtf8(kServiceName));
    if (!m_bRegistered) {
        bus.unregisterObject(QString::fromUtf8(kObjectPath));
        std::fprintf(stderr, "corvina: %s is taken; the media keys control the other player\n",
                     kServiceName);
    }
}

CMprisService::~CMprisService() {
    if (m_bRegistered) {
        QDBusConnection bus = QDBusConnection::sessionBus();
        bus.unregisterService(QString::fromUtf8(kServiceName));
        bus.unregisterObject(QString::fromUtf8(kObjectPath));
    }
}

QString CMprisService::GetTrackId() const {
    if (m_strTrackPath.empty()) {
        return QString::fromUtf8(kNoTrack);
    }
    return QStringLiteral("/org/mpris/MediaPlayer2/corvina/track/%1").arg(m_nTrack);
}

double CMprisService::GetVolume() const {
    // A device without a volume of its own plays at full volume.
    if (m_document.m_bCanVolumeUp == 0 && m_document.m_bCanVolumeDown == 0 &&
        m_document.m_dwVolume == 0) {
        return 1.0;
    }
    const uint32_t dwLeft = m_document.m_dwVolume & 0xFFFF;
    const uint32_t dwRight = m_document.m_dwVolume >> 16;
    return (dwLeft + dwRight) / (2.0 * 0xFFFF);
}

QVariantMap CMprisService::GetPlayerProperties() const {
    const CPlayProgress& progress = m_frame.GetProgress();
    QVariantMap metadata;
    metadata.insert(QStringLiteral("mpris:trackid"),
                    QVariant::fromValue(QDBusObjectPath(GetTrackId())));
    if (!progress.GetPath().empty()) {
        if (progress.GetLength() > 0.0) {
            metadata.insert(
                QStringLiteral("mpris:length"),
                static_cast<qlonglong>(std::llround(progress.GetLength() * kMicroseconds)));
        }
        // An address is its own URL.
        const QString strPath = FromFileName(progress.GetPath());
        const QUrl address(strPath);
        metadata.insert(QStringLiteral("xesam:url"),
                        strPath.contains(QStringLiteral("://")) && address.isValid()
                            ? address.toString()
                            : QUrl::fromLocalFile(strPath).toString());
        metadata.insert(QStringLiteral("xesam:title"), FromFileName(progress.GetTitle()));
        if (progress.GetTrackInfo() != nullptr) {
            AddTags(*progress.GetTrackInfo(), metadata);
        }
        metadata.insert(QStringLiteral("mpris:artUrl"), FromUtf8(m_cover.GetUrl()));
    }
    const bool bHasFile = !progress.GetPath().empty();
    CCommandRouter& router = m_frame.GetRouter();
    return {
        {QStringLiteral("PlaybackStatus"), PlaybackStatusOf(progress.GetState())},
        {QStringLiteral("LoopStatus"), g_bLoopPlay.load() != 0 ? QStringLiteral("Track")
                                       : m_document.GetQueue().IsLooping()
                                           ? QStringLiteral("Playlist")
                                           : QStringLiteral("None")},
        {QStringLiteral("Metadata"), metadata},
        {QStringLiteral("Volume"), GetVolume()},
        {QStringLiteral("CanPlay"), bHasFile},
        {QStringLiteral("CanPause"), bHasFile},
        {QStringLiteral("CanSeek"), router.IsEnabled(ID_PLAY_FAST_FORWARD)},
        {QStringLiteral("CanGoNext"), router.IsEnabled(ID_PLAY_NEXT_FILE)},
        {QStringLiteral("CanGoPrevious"), router.IsEnabled(ID_PLAY_PREVIOUS_FILE)},
    };
}

qlonglong CMprisService::GetPosition() const {
    return std::llround(m_frame.GetProgress().GetPosition() * kMicroseconds);
}

QStringList CMprisService::GetSupportedMimeTypes() const {
    QStringList types;
    for (const std::string& strType : GetHandledMimeTypes()) {
        types << QString::fromStdString(strType);
    }
    return types;
}

void CMprisService::PublishChanges() {
    const std::string& strPath = m_frame.GetProgress().GetPath();
    if (strPath != m_strTrackPath) {
        m_strTrackPath = strPath;
        ++m_nTrack;
    }
    m_cover.Show(m_frame.GetProgress().GetTrackInfo(), m_nTrack);
    const QVariantMap properties = GetPlayerProperties();
    QVariantMap changed;
    for (auto it = properties.cbegin(); it != properties.cend(); ++it) {
        if (m_published.value(it.key()) != it.value()) {
            changed.insert(it.key(), it.value());
        }
    }
    m_published = properties;
    if (changed.isEmpty() || !m_bRegistered) {
        return;
    }
    QDBusMessage signal = QDBusMessage::createSignal(
        QString::fromUtf8(kObjectPath), QStringLiteral("org.freedesktop.DBus.Properties"),
        QStringLiteral("PropertiesChanged"));
    signal << QString::fromUtf8(kPlayerInterface) << changed << QStringList();
    QDBusConnection::sessionBus().send(signal);
}

void CMprisService::Later(std::function<void()> fnRequest) {
    QMetaObject::invokeMethod(this, std::move(fnRequest), Qt::QueuedConnection);
}

void CMprisService::RunCommand(int nID) {
    Later([this, nID] { m_frame.RunCommand(nID); });
}

void CMprisService::Raise() {
    Later([this] { m_frame.ActivateFrame(); });
}

void CMprisService::MoveTo(double dSeconds) {
    const double dLength = m_frame.GetProgress().GetLength();
    if (dLength <= 0.0) {
        return;
    }
    m_frame.GetRouter().RunMove(std::clamp(dSeconds, 0.0, dLength));
}

void CMprisService::Seek(qlonglong nOffset) {
    Later([this, nOffset] {
        MoveTo(m_frame.GetProgress().GetPosition() + static_cast<double>(nOffset) / kMicroseconds);
    });
}

void CMprisService::SetPosition(const QString& strTrackId, qlonglong nPosition) {
    Later([this, strTrackId, nPosition] {
        // A request for a track that is no longer the open one is stale.
        const double dSeconds = static_cast<double>(nPosition) / kMicroseconds;
        if (strTrackId != GetTrackId() || dSeconds < 0.0 ||
            dSeconds > m_frame.GetProgress().GetLength()) {
            return;
        }
        MoveTo(dSeconds);
    });
}

void CMprisService::OpenUri(const QString& strUri) {
    const QUrl url(strUri);
    const QString strScheme = url.scheme().toLower();
    const bool bAddress = strScheme == QStringLiteral("http") ||
                          strScheme == QStringLiteral("https") ||
                          strScheme == QStringLiteral("udp");
    if (!url.isLocalFile() && !bAddress) {
        return;
    }
    Later([this, strPath = ToFileName(bAddress ? strUri : url.toLocalFile())] {
        // The desktop asks to hear the file, as a click on it would.
        if (m_frame.OpenDocumentFile(strPath)) {
            m_frame.RunCommand(ID_PLAY_PLAYBACK);
        }
    });
}

void CMprisService::SetVolume(double dVolume) {
    Later([this, dVolume] {
        const double dTarget = std::clamp(std::isfinite(dVolume) ? dVolume : 1.0, 0.0, 1.0);
        const double dStep = (m_document.m_dwVolumeStep & 0xFFFF) / static_cast<double>(0xFFFF);
        // The volume moves by the Audio menu's steps, as far as they go.
        for (int i = 0; i < kMaxVolumeSteps && dStep > 0.0; ++i) {
            const double dNow = GetVolume();
            const int nID = dTarget > dNow + dStep / 2   ? ID_AUDIO_VOLUME_UP
                            : dTarget < dNow - dStep / 2 ? ID_AUDIO_VOLUME_DOWN
                                                         : 0;
            if (nID == 0 || !m_frame.RunCommand(nID) || GetVolume() == dNow) {
                break;
            }
        }
    });
}

void CMprisService::SetLoopStatus(const QString& strStatus) {
    const bool bTrack = strStatus == QStringLiteral("Track");
    const bool bPlaylist = strStatus == QStringLiteral("Playlist");
    if (!bTrack && !bPlaylist && strStatus != QStringLiteral("None")) {
        return;
    }
    Later([this, bTrack, bPlaylist] {
        // The list loops by the Play menu's command; the file loops as Loop
        // Play makes it, until a pause or a stop ends that as it does Loop
        // Play's.
        if (m_document.GetQueue().IsLooping() != bPlaylist) {
            m_frame.RunCommand(ID_PLAY_TOGGLE_LOOP);
        }
        g_bLoopPlay = bTrack ? 1 : 0;
        PublishChanges();
    });
}
