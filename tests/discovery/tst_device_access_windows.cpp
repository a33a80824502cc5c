// On Windows a COM port that refuses to open is held by another program: there is no group
// to join, and the advice says so.
#include "discovery/device_access.h"
#include "discovery/port_scan.h"

#include <QTest>

using namespace tarvex;

class TestDeviceAccess : public QObject
{
    Q_OBJECT
private slots:
    void aRefusedComPortIsHeldByAnotherProgram()
    {
        const discovery::DeviceAccess access = discovery::accessOf("COM7");
        QVERIFY(access.examined);
        QVERIFY(access.userMayOpen);
        QVERIFY(!access.groupMayOpen);

        const QString hint = discovery::permissionHint(QStringList{"COM7"});
        QVERIFY2(hint.contains("COM7") && hint.contains("another program"), qPrintable(hint));
        QVERIFY2(!hint.contains("adduser") && !hint.contains("group"), qPrintable(hint));
    }
};

QTEST_GUILESS_MAIN(TestDeviceAccess)
#include "tst_device_access_windows.moc"
