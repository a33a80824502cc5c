#include "link/device_lock.h"

namespace tarvex::link {

// Windows opens a COM port for one program only, whatever name reaches it.
std::optional<QString> lockOpenDevice(qintptr)
{
    return std::nullopt;
}

} // namespace tarvex::link
