#include "serial/system_ports.h"

namespace tarvex::link {

PortNaming systemPortNaming()
{
    return PortNaming::ByNumber;
}

QString systemDevicePath(const QString& name)
{
    return name;
}

} // namespace tarvex::link
