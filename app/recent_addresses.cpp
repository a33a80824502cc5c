#include "app/recent_addresses.h"

#include <QSettings>

namespace tarvex::app::recent_addresses {
namespace {

const QString kKey = QStringLiteral("network/recentAddresses");

QSettings settings()
{
    return QSettings(QSettings::IniFormat, QSettings::UserScope, QStringLiteral("Tarvex"),
                     QStringLiteral("tarvex-configurator"));
}

} // namespace

QStringList afterUse(QStringList recent, const QString& address)
{
    recent.removeAll(address);
    recent.prepend(address);
    return recent.mid(0, kKept);
}

QStringList load()
{
    return settings().value(kKey).toStringList().mid(0, kKept);
}

void remember(const QString& address)
{
    settings().setValue(kKey, afterUse(load(), address));
}

} // namespace tarvex::app::recent_addresses
