// The media player's player interface.
#include "ui/mpris_player_adaptor.h"

#include "resources/resource_ids.h"
#include "ui/mpris_service.h"

CMprisPlayerAdaptor::CMprisPlayerAdaptor(CMprisService& service)
    : QDBusAbstractAdaptor(&service), m_service(service) {}

QString CMprisPlayerAdaptor::PlaybackStatus() const {
    return m_service.GetPlayerProperties().value(QStringLiteral("PlaybackStatus")).toString();
}

QString CMprisPlayerAdaptor::LoopStatus() const {
    return m_service.GetPlayerProperties().value(QStringLiteral("LoopStatus")).toString();
}

void CMprisPlayerAdaptor::SetLoopStatus(const QString& strStatus) {
    m_service.SetLoopStatus(strStatus);
}

QVariantMap CMprisPlayerAdaptor::Metadata() const {
    return m_service.GetPlayerProperties().value(QStringLiteral("Metadata")).toMap();
}

double CMprisPlayerAdaptor::Volume() const {
    return m_service.GetPlayerProperties().value(QStringLiteral("Volume")).toDouble();
}

void CMprisPlayerAdaptor::SetVolume(double dVolume) {
    m_service.SetVolume(dVolume);
}

qlonglong CMprisPlayerAdaptor::Position() const {
    return m_service.GetPosition();
}

bool CMprisPlayerAdaptor::CanGoNext() const {
    return m_service.GetPlayerProperties().value(QStringLiteral("CanGoNext")).toBool();
}

bool CMprisPlayerAdaptor::CanGoPrevious() const {
    return m_service.GetPlayerProperties().value(QStringLiteral("CanGoPrevious")).toBool();
}

bool CMprisPlayerAdaptor::CanPlay() const {
    return m_service.GetPlayerProperties().value(QStringLiteral("CanPlay")).toBool();
}

bool CMprisPlayerAdaptor::CanPause() const {
    return m_service.GetPlayerProperties().value(QStringLiteral("CanPause")).toBool();
}

bool CMprisPlayerAdaptor::CanSeek() const {
    return m_service.GetPlayerProperties().value(QStringLiteral("CanSeek")).toBool();
}

void CMprisPlayerAdaptor::Next() {
    m_service.RunCommand(ID_PLAY_NEXT_FILE);
}

void CMprisPlayerAdaptor::Previous() {
    m_service.RunCommand(ID_PLAY_PREVIOUS_FILE);
}

void CMprisPlayerAdaptor::Play() {
    m_service.RunCommand(ID_PLAY_PLAYBACK);
}

void CMprisPlayerAdaptor::Pause() {
    m_service.RunCommand(ID_PLAY_PAUSE);
}

void CMprisPlayerAdaptor::PlayPause() {
    m_service.RunCommand(ID_PLAY_PLAY_PAUSE);
}

void CMprisPlayerAdaptor::Stop() {
    m_service.RunCommand(ID_PLAY_STOP);
}

void CMprisPlayerAdaptor::Seek(qlonglong nOffset) {
    m_service.Seek(nOffset);
}

void CMprisPlayerAdaptor::SetPosition(const QDBusObjectPath& trackId, qlonglong nPosition) {
    m_service.SetPosition(trackId.path(), nPosition);
}

void CMprisPlayerAdaptor::OpenUri(const QString& strUri) {
    m_service.OpenUri(strUri);
}
