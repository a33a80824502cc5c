#pragma once

#include "provisioning/configuration_file.h"
#include "provisioning/differences.h"

#include <QString>

// The items of a configuration as the window names them on its controls ("Phone No.1", "Test
// Phone No.", an event's caption), for its boxes and its differences dialog; the command line
// keeps the file's JSON paths. One source for the labels and the messages.
namespace tarvex::app::item_names {

QString phone(int slot); // "Phone No.1" for slot 0
QString testPhone();     // "Test Phone No."
QString phoneCount();    // "No. of Phones"

// The item a path of the file format stands for, as the window names it; an unknown path as
// it is.
QString shown(const QString& path);

// "item: unit → file", one a line, and "item: rule", with the window's names.
QString changeLines(const QList<provisioning::Change>& changes);
QString problemLines(const QList<provisioning::Problem>& problems);

} // namespace tarvex::app::item_names
