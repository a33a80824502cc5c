#pragma once

#include <QString>

namespace tarvex::fleet {

// What --device takes, checked as --device checks it: empty when device is usable, else why not.
QString deviceProblem(const QString& device);

// The line a device reaches, so that two spellings of one terminal-server port (raw and
// RFC 2217, another delay) or of one device path count as one: the same key, the same line.
QString deviceKey(const QString& device);

} // namespace tarvex::fleet
