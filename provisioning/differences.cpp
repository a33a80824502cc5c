#include "provisioning/differences.h"

#include <QJsonArray>
#include <QJsonDocument>

#include <algorithm>

namespace tarvex::provisioning {
namespace {

using Kind = Item::Kind;

void compare(QList<Change>& changes, const QString& path, const QJsonValue& unit,
             const QJsonValue& file, Item item)
{
    if (unit != file)
        changes.append({path, unit, file, item});
}

QJsonValue valueOf(const std::optional<QString>& text)
{
    return text ? QJsonValue(*text) : QJsonValue();
}

void comparePhones(const UnitValues& unit, const ManagedConfiguration& file, QList<Change>& changes)
{
    if (file.numbers) {
        for (qsizetype slot = 0; slot < file.numbers->size(); ++slot)
            compare(changes, numberPath(int(slot)), valueOf(unit.phones[size_t(slot)]),
                    file.numbers->at(slot), {Kind::Phone, int(slot)});
        compare(changes, countPath(), unit.count ? QJsonValue(*unit.count) : QJsonValue(),
                int(file.numbers->size()), {Kind::Count});
    }
    if (file.testNumber)
        compare(changes, testNumberPath(), valueOf(unit.phones[protocol::kTestPhoneSlot]),
                *file.testNumber, {Kind::Phone, protocol::kTestPhoneSlot});
}

void compareEvents(const UnitValues& unit, const ManagedConfiguration& file, QList<Change>& changes)
{
    for (int event = 0; event < protocol::kEventCount; ++event) {
        const EventSettings& wanted = file.events[size_t(event)];
        if (wanted.enabled)
            compare(changes, enabledPath(event),
                    unit.mask ? QJsonValue((*unit.mask)[size_t(event)]) : QJsonValue(),
                    *wanted.enabled, {Kind::Mask});
        if (wanted.message)
            compare(changes, messagePath(event), valueOf(unit.messages[size_t(event)]),
                    *wanted.message, {Kind::Message, event});
    }
}

} // namespace

QList<Item> itemsManagedBy(const ManagedConfiguration& file)
{
    QList<Item> items;
    if (file.numbers) {
        items.append({Kind::Count});
        for (qsizetype slot = 0; slot < file.numbers->size(); ++slot)
            items.append({Kind::Phone, int(slot)});
    }
    if (file.testNumber)
        items.append({Kind::Phone, protocol::kTestPhoneSlot});
    if (file.managesEventMask())
        items.append({Kind::Mask});
    for (int event = 0; event < protocol::kEventCount; ++event) {
        if (file.events[size_t(event)].message)
            items.append({Kind::Message, event});
    }
    return items;
}

QList<Item> allItems(bool withMessages)
{
    QList<Item> items = {{Kind::Count}, {Kind::Mask}};
    for (int slot = 0; slot <= protocol::kTestPhoneSlot; ++slot)
        items.append({Kind::Phone, slot});
    for (int event = 0; withMessages && event < protocol::kEventCount; ++event)
        items.append({Kind::Message, event});
    return items;
}

QList<Change> differences(const UnitValues& unit, const ManagedConfiguration& file)
{
    QList<Change> changes;
    comparePhones(unit, file, changes);
    compareEvents(unit, file, changes);
    return changes;
}

QList<Item> itemsToWrite(const QList<Change>& changes)
{
    QList<Item> items;
    for (const Change& change : changes)
        items.append(change.item);
    std::sort(items.begin(), items.end());
    items.erase(std::unique(items.begin(), items.end()), items.end());
    return items;
}

protocol::EventMask maskToWrite(const UnitValues& unit, const ManagedConfiguration& file)
{
    protocol::EventMask mask = unit.mask.value_or(protocol::EventMask{});
    for (int event = 0; event < protocol::kEventCount; ++event) {
        if (const auto enabled = file.events[size_t(event)].enabled)
            mask[size_t(event)] = *enabled;
    }
    return mask;
}

ManagedConfiguration configurationOf(const UnitValues& unit, const QString& identity)
{
    ManagedConfiguration configuration;
    configuration.identity = identity;
    QStringList numbers;
    for (int slot = 0; slot < unit.count.value_or(0); ++slot)
        numbers << unit.phones[size_t(slot)].value_or(QString());
    configuration.numbers = numbers;
    configuration.testNumber = unit.phones[protocol::kTestPhoneSlot];
    for (int event = 0; event < protocol::kEventCount; ++event) {
        if (unit.mask)
            configuration.events[size_t(event)].enabled = (*unit.mask)[size_t(event)];
        configuration.events[size_t(event)].message = unit.messages[size_t(event)];
    }
    return configuration;
}

QString valueText(const QJsonValue& value)
{
    if (value.isUndefined() || value.isNull())
        return QStringLiteral("(none)");
    const QByteArray array = QJsonDocument(QJsonArray{value}).toJson(QJsonDocument::Compact);
    return QString::fromUtf8(array.mid(1, array.size() - 2));
}

QString changeLines(const QList<Change>& changes, const PathName& name)
{
    QStringList lines;
    for (const Change& change : changes)
        lines << QStringLiteral("%1: %2 \u2192 %3")
                     .arg(name ? name(change.path) : change.path, valueText(change.before),
                          valueText(change.after));
    return lines.join(u'\n');
}

} // namespace tarvex::provisioning
