#include "files/file_sync.h"

#include <QFileDevice>

#include <cerrno>
#include <unistd.h>

namespace tarvex::files {

std::optional<QString> syncToDisk(QFileDevice& file)
{
    if (::fsync(file.handle()) == 0)
        return std::nullopt;
    // A terminal, a pipe or a character device cannot be synced, and needs not be.
    if (errno == EINVAL || errno == EROFS || errno == ENOTSUP)
        return std::nullopt;
    return qt_error_string(errno);
}

} // namespace tarvex::files
