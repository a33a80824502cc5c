// The scan over all 255 port numbers, against scripted in-memory devices.
#include "discovery/port_scan.h"
#include "fake_port.h"
#include "link/link.h"
#include "link/link_errors.h"

#include <QSignalSpy>
#include <QTest>
#include <QTimer>

#include <algorithm>

using namespace tarvex;
using namespace std::chrono_literals;

namespace {
const QString kQuery = QStringLiteral("?\r");
const QString kUnit = QStringLiteral("KTX-210 Tarvex PSI\r");
} // namespace

class TestPortScan : public QObject
{
    Q_OBJECT

    FakePort* cm = nullptr;
    link::Link* link = nullptr;
    QSignalSpy* waits = nullptr;

    discovery::ScanResult scan() { return discovery::Connect(*link); }

private slots:
    void init()
    {
        cm = new FakePort;
        link = new link::Link(*cm, 5ms);
        waits = new QSignalSpy(link, &link::Link::waitStarted);
    }
    void cleanup()
    {
        delete waits;
        delete link;
        delete cm;
    }

    void noPortOpensMeansNoProbeAndNoWait()
    {
        const auto result = scan();
        QVERIFY(!result.found);
        QCOMPARE(waits->count(), 0);
        QVERIFY(cm->written.isEmpty());
        QCOMPARE(cm->openAttempts.size(), 255);
        QCOMPARE(cm->openAttempts.first(), 1);
        QCOMPARE(cm->openAttempts.last(), 255);
    }

    void unitOnTheLastNumberIsFoundAndNoNumberOutsideIsTried()
    {
        cm->device(255).answer = kUnit;
        const auto result = scan();
        QVERIFY(result.found);
        QCOMPARE(result.portNumber, 255);
        QCOMPARE(cm->numbersAsked.first(), 1);
        QCOMPARE(*std::ranges::min_element(cm->numbersAsked), 1);
        QCOMPARE(*std::ranges::max_element(cm->numbersAsked), 255);
    }

    // A port that cannot be written to is no way to the unit, whatever it sends.
    void portWhoseWriteFailsIsNotTakenForTheUnit()
    {
        cm->device(2).answer = kUnit;
        cm->device(2).writeFails = true;
        cm->device(4).answer = kUnit;
        const auto result = scan();
        QCOMPARE(result.portNumber, 4);
        QCOMPARE(cm->written.value(2), QStringList{kQuery});
    }

    void onlyAnExactPrefixMatches_data()
    {
        QTest::addColumn<QString>("answer");
        QTest::addColumn<bool>("found");
        QTest::addColumn<QString>("caption");
        QTest::newRow("exactly KTX") << "KTX" << true << "KTX";
        QTest::newRow("thirteen characters") << "KTX1234567890" << true << "KTX1234";
        QTest::newRow("lower case") << "ktx-210\r" << false << "";
        QTest::newRow("leading line feed") << "\nKTX-210\r" << false << "";
        QTest::newRow("echoed query first") << "?\rKTX-210\r" << false << "";
        QTest::newRow("too short") << "KT" << false << "";
        QTest::newRow("angle brackets kept") << "KTX<b>1</b>" << true << "KTX<b>1";
    }
    void onlyAnExactPrefixMatches()
    {
        QFETCH(QString, answer);
        QFETCH(bool, found);
        QFETCH(QString, caption);
        cm->device(7).answer = answer;
        const auto result = scan();
        QCOMPARE(result.found, found);
        QCOMPARE(cm->IsOpen(), found);
        if (found)
            QCOMPARE(discovery::identityCaption(result), caption);
    }

    void rescanClosesThePortFoundBeforeAndLeavesNoneOpenWhenNothingAnswers()
    {
        cm->device(6).answer = kUnit;
        QVERIFY(scan().found);
        QVERIFY(cm->IsOpen());

        cm->device(6).answer.reset();
        waits->clear();
        const auto result = scan();
        QVERIFY(!result.found);
        QVERIFY(!cm->IsOpen());
        // A port left open would have been taken for number 1 and probed as well.
        QCOMPARE(waits->count(), 1);
        QCOMPARE(cm->openAttempts.count(6), 4);
    }

    void staleIdentityDoesNotMatchAPortThatFailsToOpen()
    {
        cm->device(8).answer = kUnit;
        QVERIFY(scan().found);
        QVERIFY(link->lastReply().startsWith("KTX"));

        cm->device(8).exists = false;
        cm->device(2).opensLeft = 1; // opens in pass 1, refuses the probe's open
        const auto result = scan();
        QVERIFY(!result.found);
        QVERIFY(!cm->IsOpen());
    }

    void refusedDevicesAreNamedForTheHint()
    {
        cm->device(3).permissionDenied = true;
        const auto result = scan();
        QVERIFY(!result.found);
        QCOMPARE(result.refusedForPermission, QStringList{"fake3"});
        QVERIFY(discovery::permissionHint(result.refusedForPermission).contains("fake3"));
        QVERIFY(discovery::permissionHint(QStringList()).isEmpty());
    }

    // Advice that can help: the group that really may open the device, or none at all.
    void permissionHintNamesWhatCanHelp_data()
    {
        using Accesses = QList<discovery::DeviceAccess>;
        QTest::addColumn<Accesses>("devices");
        QTest::addColumn<QStringList>("says");
        QTest::addColumn<QStringList>("neverSays");
        const discovery::DeviceAccess usb0{"/dev/ttyUSB0", true, false, "dialout", true};
        const discovery::DeviceAccess usb1{"/dev/ttyUSB1", true, false, "dialout", true};
        const discovery::DeviceAccess rootOnly{"/dev/ttyS1", true, false, "root", false};
        QTest::newRow("dialout may open it")
            << Accesses{usb0} << QStringList{"/dev/ttyUSB0", "adduser $USER dialout"}
            << QStringList{"administrator"};
        QTest::newRow("another group may open it")
            << Accesses{{"/dev/ttyS0", true, false, "uucp", true}}
            << QStringList{"\"uucp\"", "adduser $USER uucp"} << QStringList{"dialout"};
        QTest::newRow("no group may open it, mode 600 root:root")
            << Accesses{rootOnly} << QStringList{"/dev/ttyS1", "no group", "administrator"}
            << QStringList{"adduser", "dialout"};
        QTest::newRow("held by another program")
            << Accesses{{"/dev/pts/4", true, true, "tty", false}} << QStringList{"another program"}
            << QStringList{"adduser", "administrator"};
        QTest::newRow("cannot be examined")
            << Accesses{{"/dev/gone", false, false, "", false}}
            << QStringList{"/dev/gone", "administrator"} << QStringList{"adduser"};
        QTest::newRow("two of one group, one of none")
            << Accesses{usb0, rootOnly, usb1}
            << QStringList{"/dev/ttyUSB0, /dev/ttyUSB1: on Linux", "/dev/ttyS1: no group"}
            << QStringList{};
    }
    void permissionHintNamesWhatCanHelp()
    {
        QFETCH(QList<discovery::DeviceAccess>, devices);
        QFETCH(QStringList, says);
        QFETCH(QStringList, neverSays);
        const QString hint = discovery::permissionHint(devices);
        for (const QString& part : says)
            QVERIFY2(hint.contains(part), qPrintable(hint));
        for (const QString& part : neverSays)
            QVERIFY2(!hint.contains(part), qPrintable(hint));
    }

    void abortDuringAProbeStopsTheScan()
    {
        cm->device(2) = {};
        cm->device(3).answer = kUnit;
        link::Link slow(*cm, 10s);
        QTimer::singleShot(20ms, &slow, &link::Link::abort);
        QVERIFY_THROWS_EXCEPTION(link::LinkAborted, discovery::Connect(slow));
        QVERIFY(!cm->written.contains(3));
        QVERIFY(!cm->IsOpen());
    }
};

QTEST_GUILESS_MAIN(TestPortScan)
#include "tst_port_scan.moc"
