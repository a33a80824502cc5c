#pragma once

#include <QString>

#include <optional>

namespace tarvex::link {

// Claims the open device itself for this program, whatever name it was opened by: a lock file
// guards one name only, and a /dev/serial/by-id link and /dev/ttyUSB0 are two names for one
// adapter. The reason when another program holds the device; nothing when it is ours.
std::optional<QString> lockOpenDevice(qintptr handle);

} // namespace tarvex::link
