#pragma once

#include <QByteArray>
#include <QString>

#include <optional>

class QFileDevice;

namespace tarvex::files {

// Writes all of bytes to a file opened with QIODevice::Unbuffered, piece by piece as the
// system takes them; the system's reason when it stops taking them (a full disk, a file size
// limit, /dev/full). A buffered file would report the failure only at its flush, and without
// the reason.
std::optional<QString> writeWhole(QFileDevice& file, const QByteArray& bytes);

} // namespace tarvex::files
