#include "link/system_ports.h"

namespace tarvex::link {

PortNaming systemPortNaming()
{
    return PortNaming::ByNumber;
}

} // namespace tarvex::link
