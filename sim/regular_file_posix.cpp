#include "sim/regular_file.h"

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace tarvex::sim {

namespace {

bool isRegular(int fd)
{
    struct stat status
    {};
    return ::fstat(fd, &status) == 0 && S_ISREG(status.st_mode);
}

bool existsAndIsNotRegular(const QByteArray& path)
{
    struct stat status
    {};
    return ::stat(path.constData(), &status) == 0 && !S_ISREG(status.st_mode);
}

QString notRegular(const QString& path)
{
    return QStringLiteral("%1 is not a regular file").arg(path);
}

} // namespace

bool openRegularFile(QFile& file, const QString& path, QIODevice::OpenMode mode, QString* error)
{
    const QByteArray name = QFile::encodeName(path);
    const bool writing = mode.testFlag(QIODevice::WriteOnly);
    // Looked at first, so that a FIFO nobody reads is named as such; checked again once open.
    if (existsAndIsNotRegular(name)) {
        *error = notRegular(path);
        return false;
    }
    const int flags =
        (writing ? O_WRONLY | O_APPEND | O_CREAT : O_RDONLY) | O_NONBLOCK | O_NOCTTY | O_CLOEXEC;
    const int fd = ::open(name.constData(), flags, 0666);
    if (fd < 0) {
        *error = QStringLiteral("cannot %1 %2: %3")
                     .arg(writing ? QStringLiteral("write") : QStringLiteral("read"), path,
                          QString::fromLocal8Bit(std::strerror(errno)));
        return false;
    }
    if (!isRegular(fd)) {
        ::close(fd);
        *error = notRegular(path);
        return false;
    }
    if (!file.open(fd, mode, QFileDevice::AutoCloseHandle)) {
        ::close(fd);
        *error = QStringLiteral("cannot open %1: %2").arg(path, file.errorString());
        return false;
    }
    return true;
}

} // namespace tarvex::sim
