// What the file system says of a device the system refused.
#include "discovery/device_access.h"

#include <QFile>
#include <QTemporaryDir>
#include <QTest>

#include <grp.h>
#include <unistd.h>

using namespace tarvex;

class TestDeviceAccess : public QObject
{
    Q_OBJECT
private slots:
    void deviceAccessIsReadFromTheFileSystem()
    {
        QTemporaryDir dir;
        const QString path = dir.filePath("ttyTest");
        QFile device(path);
        QVERIFY(device.open(QIODevice::WriteOnly));

        QVERIFY(device.setPermissions(QFile::ReadOwner | QFile::WriteOwner)); // 600
        discovery::DeviceAccess access = discovery::accessOf(path);
        QVERIFY(access.examined);
        QCOMPARE(access.group, QString::fromLocal8Bit(::getgrgid(::getegid())->gr_name));
        QVERIFY(!access.groupMayOpen);
        QVERIFY(access.userMayOpen);                                          // its owner
        QVERIFY(device.setPermissions(QFile::ReadGroup | QFile::WriteGroup)); // 060
        QVERIFY(discovery::accessOf(path).groupMayOpen);
        QVERIFY(device.setPermissions(QFile::ReadGroup)); // 040
        QVERIFY(!discovery::accessOf(path).groupMayOpen);

        QVERIFY(!discovery::accessOf(dir.filePath("missing")).examined);
    }
};

QTEST_GUILESS_MAIN(TestDeviceAccess)
#include "tst_device_access_posix.moc"
