#pragma once

namespace tarvex::link {

// How this system names its serial ports: by number (Windows: number N is COMN), or by a list
// of devices that the numbers are handed out to in order (POSIX).
enum class PortNaming { ByNumber, ByList };

PortNaming systemPortNaming();

} // namespace tarvex::link
