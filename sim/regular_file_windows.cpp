#include "sim/regular_file.h"

#include <QFileInfo>

namespace tarvex::sim {

// Windows has no FIFOs in the file system, and opening a file there never blocks; a device or
// a folder given by mistake is still refused.
bool openRegularFile(QFile& file, const QString& path, QIODevice::OpenMode mode, QString* error)
{
    const QFileInfo info(path);
    if (info.exists() && !info.isFile()) {
        *error = QStringLiteral("%1 is not a regular file").arg(path);
        return false;
    }
    file.setFileName(path);
    if (!file.open(mode)) {
        *error = QStringLiteral("cannot open %1: %2").arg(path, file.errorString());
        return false;
    }
    return true;
}

} // namespace tarvex::sim
