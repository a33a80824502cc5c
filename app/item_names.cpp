#include "app/item_names.h"

#include "protocol/events.h"
#include "provisioning/configuration_file.h"

#include <QHash>

namespace tarvex::app::item_names {
namespace {

// Every path the file format names, keyed by the format's own functions.
const QHash<QString, QString>& names()
{
    static const QHash<QString, QString> table = [] {
        QHash<QString, QString> byPath;
        for (int slot = 0; slot < protocol::kPhoneSlots; ++slot)
            byPath.insert(provisioning::numberPath(slot), phone(slot));
        byPath.insert(provisioning::testNumberPath(), testPhone());
        byPath.insert(provisioning::countPath(), phoneCount());
        for (int event = 0; event < protocol::kEventCount; ++event) {
            const QString& caption = protocol::eventCaptions()[size_t(event)];
            byPath.insert(provisioning::enabledPath(event), caption);
            byPath.insert(provisioning::messagePath(event),
                          QStringLiteral("%1 message").arg(caption));
        }
        return byPath;
    }();
    return table;
}

} // namespace

QString phone(int slot)
{
    return QStringLiteral("Phone No.%1").arg(slot + 1);
}

QString testPhone()
{
    return QStringLiteral("Test Phone No.");
}

QString phoneCount()
{
    return QStringLiteral("No. of Phones");
}

QString shown(const QString& path)
{
    return names().value(path, path);
}

} // namespace tarvex::app::item_names
