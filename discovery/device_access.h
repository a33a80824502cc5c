#pragma once

#include <QString>

namespace tarvex::discovery {

// What the system says of a refused device, and so what can help.
struct DeviceAccess
{
    QString device;
    bool examined = false;     // false when the device cannot be looked at
    bool userMayOpen = false;  // read-write for this user already: another program holds it
    QString group;             // the group that owns the device
    bool groupMayOpen = false; // read-write for that group: joining it helps
};

// The access to device (a path, or a name under /dev; on Windows COMN) as the system gives it.
DeviceAccess accessOf(const QString& device);

} // namespace tarvex::discovery
