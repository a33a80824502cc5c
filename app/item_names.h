#pragma once

#include <QString>

// The items of a configuration as the window names them on its controls ("Phone No.1", "Test
// Phone No.", an event's caption), for its boxes and its differences dialog; the command line
// keeps the file's JSON paths. One source for the labels and the messages.
namespace tarvex::app::item_names {

QString phone(int slot); // "Phone No.1" for slot 0
QString testPhone();     // "Test Phone No."
QString phoneCount();    // "No. of Phones"

// The item a path of the file format stands for, as the window names it; an unknown path as
// it is. The engine's lists of changes and problems take it as their provisioning::PathName.
QString shown(const QString& path);

} // namespace tarvex::app::item_names
