#include "provisioning/port_access.h"

#include "discovery/port_scan.h"
#include "link/port.h"

#include <QFileInfo>

namespace tarvex::provisioning {

// The system says "permission" both for a device we may not open and for one that another
// program holds (its lock); only the first is denied by the file's own permissions.
Failure openFailure(const link::DeviceName& name, const link::Port& port)
{
    const QString device = name.text();
    if (port.openRefusedAsHeld())
        return Failure(Failure::Kind::PortBusy,
                       QStringLiteral("%1 is busy: %2").arg(device, port.errorString()), device);
    if (port.openRefusedForPermission() && name.networkAddress())
        return Failure(Failure::Kind::PermissionDenied,
                       QStringLiteral("cannot open %1: %2").arg(device, port.errorString()),
                       device);
    if (port.openRefusedForPermission()) {
        const discovery::DeviceAccess access = discovery::accessOf(device);
        if (access.userMayOpen)
            return Failure(Failure::Kind::PortBusy,
                           QStringLiteral("%1 is busy: another program holds it open").arg(device),
                           device);
        return Failure(Failure::Kind::PermissionDenied, discovery::permissionHint(QList{access}),
                       device);
    }
    const QString reason = name.networkAddress() || QFileInfo::exists(device)
                               ? port.errorString()
                               : QStringLiteral("no such device");
    return Failure(Failure::Kind::NoUnit, QStringLiteral("cannot open %1: %2").arg(device, reason),
                   device);
}

} // namespace tarvex::provisioning
