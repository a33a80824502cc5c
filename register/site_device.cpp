#include "register/site_device.h"

#include <QDir>
#include <QFileInfo>

namespace tarvex::fleet {
namespace {

// A tunnel's target is named from its SSH host; a console server's line by its login's user.
QString networkKey(const link::LineAddress& address)
{
    QString key = QStringLiteral("net:%1:%2").arg(address.host.toLower()).arg(address.port);
    if (address.ssh)
        key += QStringLiteral("@ssh:%1@%2:%3")
                   .arg(address.ssh->user, address.ssh->host.toLower())
                   .arg(address.ssh->port.value_or(0));
    return key;
}

} // namespace

QString deviceKey(const link::DeviceName& device)
{
    if (const link::LineAddress* address = device.networkAddress())
        return networkKey(*address);
    const QFileInfo info(device.text());
    const QString canonical = info.canonicalFilePath();
    return QStringLiteral("dev:") +
           (canonical.isEmpty() ? QDir::cleanPath(info.absoluteFilePath()) : canonical);
}

} // namespace tarvex::fleet
