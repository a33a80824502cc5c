// The scan with the real 200 ms wait, over pinned pseudo-terminals with simulators behind them.
#include "discovery/port_scan.h"
#include "link/line_port.h"
#include "link/link.h"
#include "support/sim_process.h"

#include <QSignalSpy>
#include <QTest>

using namespace tarvex;

class TestPortScanLine : public QObject
{
    Q_OBJECT
private slots:
    void findsTheUnitBehindASilentDeviceAndWritesNothingAboveIt()
    {
        SimProcess silent({"--silent"});
        SimProcess unit({"--id", "KTX-5 on five"});
        SimProcess above;
        QVERIFY(silent.start() && unit.start() && above.start());
        link::LinePort cm(
            link::PortMap::pinned({{2, link::DeviceName::serial(silent.devicePath())},
                                   {5, link::DeviceName::serial(unit.devicePath())},
                                   {9, link::DeviceName::serial(above.devicePath())}}));
        link::Link link(cm);
        QSignalSpy waits(&link, &link::Link::waitStarted);

        const auto result = discovery::Connect(link);

        QVERIFY(result.found);
        QCOMPARE(result.portNumber, 5);
        QCOMPARE(discovery::identityCaption(result), QString("KTX-5 o"));
        QCOMPARE(waits.count(), 2);
        QVERIFY(cm.IsOpen());
        QCOMPARE(cm.deviceName(), unit.devicePath());
        QCOMPARE(silent.log(), QByteArray("?\r"));
        QCOMPARE(unit.log(), QByteArray("?\r"));
        QCOMPARE(above.log(), QByteArray());
    }

    void lateUnitIsNotFoundAndItsPortIsClosed()
    {
        SimProcess late({"--delay", "400"});
        QVERIFY(late.start());
        link::LinePort cm(
            link::PortMap::pinned({{1, link::DeviceName::serial(late.devicePath())}}));
        link::Link link(cm);
        const auto result = discovery::Connect(link);
        QVERIFY(!result.found);
        QVERIFY(!cm.IsOpen());
        QCOMPARE(late.log(), QByteArray("?\r"));
    }
};

QTEST_GUILESS_MAIN(TestPortScanLine)
#include "tst_port_scan_line.moc"
