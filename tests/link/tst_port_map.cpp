#include "link/port_map.h"

#include <QTest>

using tarvex::link::DeviceName;
using tarvex::link::PortMap;

class TestPortMap : public QObject
{
    Q_OBJECT
private slots:
    void systemOrderPutsUsbAdaptersFirstInNaturalOrder()
    {
        const QStringList names{"ttyS10",  "ttyACM1", "ttyS2",   "ttyUSB10",
                                "ttyAMA0", "ttyUSB2", "ttyACM0", "ttyS0"};
        const QStringList expected{"ttyUSB2", "ttyUSB10", "ttyACM0", "ttyACM1",
                                   "ttyAMA0", "ttyS0",    "ttyS2",   "ttyS10"};
        QCOMPARE(PortMap::systemOrder(names), expected);
    }

    // Windows: number N is COMN, for every number from 1 to 255.
    void numberedPortsAreComN()
    {
        const PortMap map = PortMap::numbered();
        QCOMPARE(map.deviceFor(1).text(), QString("COM1"));
        QCOMPARE(map.deviceFor(10).text(), QString("COM10"));
        QCOMPARE(map.deviceFor(255).text(), QString("COM255"));
        QVERIFY(map.deviceFor(0).isEmpty());
        QVERIFY(map.deviceFor(256).isEmpty());
        // A scan tries them all, listed or not; a pinned map only its own.
        QCOMPARE(map.scanNumbers().size(), 255);
        QCOMPARE(map.scanNumbers().constLast(), 255);
        QCOMPARE(PortMap::pinned({{3, DeviceName::serial("COM3")}}).scanNumbers(), QList<int>{3});
    }

    void pinnedNumbersAreTheOnlyOnes()
    {
        QString error;
        const auto map =
            PortMap::fromPortOptions({"2=/dev/pts/7", "255=/tmp/unit", "7=tcp://ts:4001"}, &error);
        QVERIFY2(map.has_value(), qPrintable(error));
        QVERIFY(!map->deviceFor(2).networkAddress());
        QCOMPARE(map->deviceFor(7).networkAddress()->host, QString("ts"));
        QCOMPARE(map->deviceFor(2).text(), QString("/dev/pts/7"));
        QCOMPARE(map->deviceFor(255).text(), QString("/tmp/unit"));
        QVERIFY(map->deviceFor(1).isEmpty());
        QVERIFY(map->deviceFor(3).isEmpty());
        QVERIFY(map->deviceFor(0).isEmpty());
        QVERIFY(map->deviceFor(256).isEmpty());
    }

    void malformedPortOptionsAreRefused_data()
    {
        QTest::addColumn<QString>("value");
        QTest::newRow("number zero") << "0=/dev/ttyS0";
        QTest::newRow("number 256") << "256=/dev/ttyS0";
        QTest::newRow("no device") << "3=";
        QTest::newRow("no number") << "=/dev/ttyS0";
        QTest::newRow("no equals sign") << "/dev/ttyS0";
        QTest::newRow("not a number") << "x=/dev/ttyS0";
        QTest::newRow("malformed address") << "1=rfc2217://ts";
    }
    void malformedPortOptionsAreRefused()
    {
        QFETCH(QString, value);
        QString error;
        QVERIFY(!PortMap::fromPortOptions({value}, &error).has_value());
        QVERIFY(error.contains(value));
    }

    void aNumberGivenTwiceIsRefused()
    {
        QString error;
        QVERIFY(!PortMap::fromPortOptions({"1=/dev/a", "2=/dev/c", "1=/dev/b"}, &error));
        QVERIFY2(error.contains("port number 1 twice") && error.contains("1=/dev/a") &&
                     error.contains("1=/dev/b"),
                 qPrintable(error));
    }
};

QTEST_GUILESS_MAIN(TestPortMap)
#include "tst_port_map.moc"
