#include "link/device_lock.h"

#include <cerrno>
#include <sys/file.h>

namespace tarvex::link {

// An advisory lock on the open file: every program of ours takes it, and it goes away with
// the descriptor, even when the program is killed.
std::optional<QString> lockOpenDevice(qintptr handle)
{
    if (::flock(int(handle), LOCK_EX | LOCK_NB) == 0)
        return std::nullopt;
    if (errno == EWOULDBLOCK)
        return QStringLiteral("another program holds the device");
    return qt_error_string(errno);
}

} // namespace tarvex::link
