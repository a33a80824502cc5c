#include "link/system_ports.h"

namespace tarvex::link {

PortNaming systemPortNaming()
{
    return PortNaming::ByList;
}

} // namespace tarvex::link
