#pragma once

#include "provisioning/configuration_file.h"

#include <QJsonValue>
#include <QList>

#include <array>
#include <optional>

// What a unit holds against what a file manages, as items to write. Pure functions.
namespace tarvex::cli {

// The values read from a unit; what was not read stays empty.
struct UnitValues
{
    std::optional<int> count;
    std::optional<protocol::EventMask> mask;
    std::array<std::optional<QString>, protocol::kStoredNumbers> phones; // the last: test number
    std::array<std::optional<QString>, kEventCount> messages;
};

// One thing the unit stores and one command writes.
struct Item
{
    enum class Kind { Phone, Message, Count, Mask }; // the order apply writes them in
    Kind kind = Kind::Count;
    int slot = 0; // phone slot 0..10 or message slot 0..7

    auto operator<=>(const Item&) const = default;
};

struct Change
{
    QString path;
    QJsonValue before; // the unit's value
    QJsonValue after;  // the file's value
    Item item;
};

// What must be read to compare a unit with the file: only what the file manages.
QList<Item> itemsManagedBy(const ManagedConfiguration& file);
// Everything a unit holds, for read: all of the above with every event and message.
QList<Item> allItems(bool withMessages);

// Every managed value that differs, in file order.
QList<Change> differences(const UnitValues& unit, const ManagedConfiguration& file);

// The items that carry the changes, once each, in the order they are written: phone numbers,
// the test number, messages, the count, then the mask, so that an interrupted run never
// leaves an event switched on over stale numbers or texts.
QList<Item> itemsToWrite(const QList<Change>& changes);

// The value to write for the mask: the unit's flags, with those the file manages replaced.
protocol::EventMask maskToWrite(const UnitValues& unit, const ManagedConfiguration& file);

// The configuration file that describes what was read (numbers past the count left out).
ManagedConfiguration configurationOf(const UnitValues& unit, const QString& identity);

} // namespace tarvex::cli
