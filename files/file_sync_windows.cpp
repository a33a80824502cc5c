#include "files/file_sync.h"

#include <QFileDevice>

#include <io.h>
#include <windows.h>

namespace tarvex::files {

std::optional<QString> syncToDisk(QFileDevice& file)
{
    const auto handle = reinterpret_cast<HANDLE>(_get_osfhandle(file.handle()));
    if (handle == INVALID_HANDLE_VALUE)
        return QStringLiteral("the file has no system handle");
    if (GetFileType(handle) != FILE_TYPE_DISK) // a console or a pipe has no disk to sync to
        return std::nullopt;
    if (FlushFileBuffers(handle))
        return std::nullopt;
    return qt_error_string(int(GetLastError()));
}

} // namespace tarvex::files
