#include "serial/system_ports.h"

namespace tarvex::link {

PortNaming systemPortNaming()
{
    return PortNaming::ByList;
}

QString systemDevicePath(const QString& name)
{
    return name.contains(u'/') ? name : QStringLiteral("/dev/") + name;
}

} // namespace tarvex::link
