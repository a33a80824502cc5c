#include "discovery/device_access.h"

#include <QFile>

#include <grp.h>
#include <sys/stat.h>
#include <unistd.h>

namespace tarvex::discovery {

DeviceAccess accessOf(const QString& device)
{
    DeviceAccess access;
    access.device = device;
    const QByteArray path =
        QFile::encodeName(device.contains(u'/') ? device : QStringLiteral("/dev/") + device);
    struct stat status
    {};
    if (::stat(path.constData(), &status) != 0)
        return access;
    access.examined = true;
    const group* owner = ::getgrgid(status.st_gid);
    access.group = owner ? QString::fromLocal8Bit(owner->gr_name) : QString::number(status.st_gid);
    access.groupMayOpen = (status.st_mode & (S_IRGRP | S_IWGRP)) == (S_IRGRP | S_IWGRP);
    access.userMayOpen = ::access(path.constData(), R_OK | W_OK) == 0;
    return access;
}

} // namespace tarvex::discovery
