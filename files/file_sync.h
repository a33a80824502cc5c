#pragma once

#include <QString>

#include <optional>

class QFileDevice;

namespace tarvex::files {

// Asks the system to put what was written to the open file on the disk itself, so that a
// pulled plug or a crash after this call loses none of it. The system's reason when it could
// not; nothing for a file that has no disk to sync to (a terminal, a pipe, a device).
std::optional<QString> syncToDisk(QFileDevice& file);

} // namespace tarvex::files
