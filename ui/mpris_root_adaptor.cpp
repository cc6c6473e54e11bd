// The media player's root interface.
#include "ui/mpris_root_adaptor.h"

#include "resources/command_table.h"
#include "resources/resource_ids.h"
#include "ui/mpris_service.h"

CMprisRootAdaptor::CMprisRootAdaptor(CMprisService& service)
    : QDBusAbstractAdaptor(&service), m_service(service) {}

QString CMprisRootAdaptor::Identity() const {
    return QStringLiteral("Corvina");
}

QString CMprisRootAdaptor::DesktopEntry() const {
    return QString::fromUtf8(kDesktopId);
}

QStringList CMprisRootAdaptor::SupportedUriSchemes() const {
    return {QStringLiteral("file")};
}

QStringList CMprisRootAdaptor::SupportedMimeTypes() const {
    return m_service.GetSupportedMimeTypes();
}

void CMprisRootAdaptor::Raise() {
    m_service.Raise();
}

void CMprisRootAdaptor::Quit() {
    m_service.RunCommand(ID_APP_EXIT);
}
