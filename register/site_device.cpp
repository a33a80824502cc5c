#include "register/site_device.h"

#include <QDir>
#include <QFileInfo>

namespace tarvex::fleet {

QString deviceKey(const link::DeviceName& device)
{
    if (const link::LineAddress* address = device.networkAddress())
        return QStringLiteral("net:%1:%2").arg(address->host.toLower()).arg(address->port);
    const QFileInfo info(device.text());
    const QString canonical = info.canonicalFilePath();
    return QStringLiteral("dev:") +
           (canonical.isEmpty() ? QDir::cleanPath(info.absoluteFilePath()) : canonical);
}

} // namespace tarvex::fleet
