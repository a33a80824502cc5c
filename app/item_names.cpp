#include "app/item_names.h"

#include "protocol/events.h"

#include <QHash>
#include <QStringList>

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

QString changeLines(const QList<provisioning::Change>& changes)
{
    QStringList lines;
    for (const provisioning::Change& change : changes)
        lines << QStringLiteral("%1: %2 \u2192 %3")
                     .arg(shown(change.path), provisioning::valueText(change.before),
                          provisioning::valueText(change.after));
    return lines.join(u'\n');
}

QString problemLines(const QList<provisioning::Problem>& problems)
{
    QStringList lines;
    for (const provisioning::Problem& problem : problems)
        lines << QStringLiteral("%1: %2").arg(shown(problem.path), problem.rule);
    return lines.join(u'\n');
}

} // namespace tarvex::app::item_names
