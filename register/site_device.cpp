#include "register/site_device.h"

#include "net/line_address.h"

#include <QDir>
#include <QFileInfo>

namespace tarvex::fleet {

QString deviceProblem(const QString& device)
{
    if (device.trimmed().isEmpty())
        return QStringLiteral("no device given");
    QString reason;
    if (link::isLineAddress(device) && !link::parseLineAddress(device, &reason))
        return reason;
    return {};
}

QString deviceKey(const QString& device)
{
    if (link::isLineAddress(device)) {
        QString reason;
        if (const auto address = link::parseLineAddress(device, &reason))
            return QStringLiteral("net:%1:%2").arg(address->host.toLower()).arg(address->port);
        return device;
    }
    const QFileInfo info(device);
    const QString canonical = info.canonicalFilePath();
    return QStringLiteral("dev:") +
           (canonical.isEmpty() ? QDir::cleanPath(info.absoluteFilePath()) : canonical);
}

} // namespace tarvex::fleet
