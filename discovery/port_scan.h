#pragma once

#include "discovery/device_access.h"

#include <QString>
#include <QStringList>

namespace tarvex::link {
class DeviceName;
class Link;
} // namespace tarvex::link

namespace tarvex::discovery {

struct ScanResult
{
    bool found = false;
    int portNumber = 0;               // the unit's port, left open
    QString reply;                    // the identify reply that matched
    QStringList refusedForPermission; // devices the system would not let us open
};

// Finds the unit among port numbers 1 to 255: pass 1 learns which numbers open (no writes),
// pass 2 sends the identify query to each of those in ascending order and stops at the first
// reply that begins with "KTX", leaving that port open. Every serial failure is passed over;
// a probe only matches on a reply it wrote for and read itself. Throws link::LinkAborted when
// the program closes during a wait.
ScanResult Connect(link::Link& link);

// What asking one named device (a network address) for the unit found.
struct DeviceResult
{
    bool found = false;
    QString reply;   // the identify reply, when found
    QString failure; // why nothing was found: the open's reason, or that no unit answered
};

// Asks the device named, outside the port numbers, for the unit: closes the port an earlier
// scan left open, opens the device, sends the identify query once and leaves the port open
// when the reply is an identity. Throws link::LinkAborted when the program closes meanwhile.
DeviceResult identifyAt(link::Link& link, const link::DeviceName& device);

// The text shown in the status label: the first seven characters of the identity.
QString identityCaption(const ScanResult& result);

// How to get access to the refused devices, for the status label's tooltip; empty when none.
QString permissionHint(const QStringList& devices);
QString permissionHint(const QList<DeviceAccess>& devices);

} // namespace tarvex::discovery
