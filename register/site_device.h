#pragma once

#include "link/device_name.h"

#include <QString>

namespace tarvex::fleet {

// The line a device reaches, so that two spellings of one terminal-server port (raw and
// RFC 2217, another delay) or of one device path count as one: the same key, the same line.
QString deviceKey(const link::DeviceName& device);

} // namespace tarvex::fleet
