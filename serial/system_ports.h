#pragma once

#include <QString>

namespace tarvex::link {

// How this system names its serial ports: by number (Windows: number N is COMN), or by a list
// of devices that the numbers are handed out to in order (POSIX).
enum class PortNaming { ByNumber, ByList };

PortNaming systemPortNaming();

// The path of a device as the system names it: on POSIX a bare name is one under /dev; Windows
// takes its names (COMN) as they are.
QString systemDevicePath(const QString& name);

} // namespace tarvex::link
