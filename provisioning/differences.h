#pragma once

#include "provisioning/configuration_file.h"
#include "provisioning/unit_values.h"

#include <QJsonValue>
#include <QList>

#include <array>
#include <functional>
#include <optional>

// What a unit holds against what a file manages, as items to write. Pure functions.
namespace tarvex::provisioning {

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
// leaves an event switched on over stale numbers or texts, and a half-written unit never
// announces numbers it does not hold. This deliberately differs from the window's DownLoad,
// which keeps the original tool's order (count, numbers, test number, mask).
QList<Item> itemsToWrite(const QList<Change>& changes);

// The value to write for the mask: the unit's flags, with those the file manages replaced.
protocol::EventMask maskToWrite(const UnitValues& unit, const ManagedConfiguration& file);

// The configuration file that describes what was read (numbers past the count left out).
ManagedConfiguration configurationOf(const UnitValues& unit, const QString& identity);

// A value as it stands in a file and in a list of differences: strings quoted with JSON's
// escapes, a value the unit did not give as "(none)".
QString valueText(const QJsonValue& value);

// How a face calls the item at a path of the file format: the command line keeps the path,
// the window names its control. Empty: the path itself.
using PathName = std::function<QString(const QString& path)>;

// "item: unit → file", one line for each change, without a line break after the last; the
// item as name calls its path.
QString changeLines(const QList<Change>& changes, const PathName& name = {});

} // namespace tarvex::provisioning
