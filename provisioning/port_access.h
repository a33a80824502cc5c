#pragma once

#include "provisioning/failure.h"

namespace tarvex::link {
class DeviceName;
class Port;
} // namespace tarvex::link

namespace tarvex::provisioning {

// Why the port to device did not open, after a refused open of port: PortBusy when another
// program holds it (or a terminal server serves another client on it), PermissionDenied (with how
// to get access) when the system refuses this user, NoUnit when there is no such device or it would
// not open for another reason.
Failure openFailure(const link::DeviceName& device, const link::Port& port);

} // namespace tarvex::provisioning
