#pragma once

#include <QFile>
#include <QString>

namespace tarvex::sim {

// Opens path for reading, or for appending (made when missing), only if it is a regular file.
// The open never blocks: a FIFO or a device given by mistake is refused at once, instead of
// holding the simulator before it serves, deaf to every signal but SIGKILL.
bool openRegularFile(QFile& file, const QString& path, QIODevice::OpenMode mode, QString* error);

} // namespace tarvex::sim
