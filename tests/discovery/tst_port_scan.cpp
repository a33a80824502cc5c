// The scan over all 255 port numbers, against scripted in-memory devices.
#include "discovery/port_scan.h"
#include "fake_port.h"
#include "link/link.h"
#include "link/link_errors.h"

#include <QSignalSpy>
#include <QTest>
#include <QTimer>

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

    void stopsAtTheUnitAndNeverWritesAboveIt()
    {
        cm->device(2) = {};
        cm->device(5).answer = kUnit;
        cm->device(9).answer = kUnit;

        const auto result = scan();

        QVERIFY(result.found);
        QCOMPARE(result.portNumber, 5);
        QCOMPARE(waits->count(), 2);
        QCOMPARE(cm->written.value(2), QStringList{kQuery});
        QCOMPARE(cm->written.value(5), QStringList{kQuery});
        QVERIFY(!cm->written.contains(9));
        QVERIFY(cm->IsOpen());
        QCOMPARE(cm->portNumber(), 5);
        QCOMPARE(discovery::identityCaption(result), QString("KTX-210"));
    }

    void lowestOfTwoUnitsWins()
    {
        cm->device(3).answer = kUnit;
        cm->device(4).answer = QStringLiteral("KTX-999\r");
        const auto result = scan();
        QCOMPARE(result.portNumber, 3);
        QVERIFY(!cm->written.contains(4));
    }

    void unitOnTheLastNumberIsFoundAndNoNumberOutsideIsTried()
    {
        cm->device(255).answer = kUnit;
        const auto result = scan();
        QVERIFY(result.found);
        QCOMPARE(result.portNumber, 255);
        for (int number : std::as_const(cm->openAttempts))
            QVERIFY(number >= 1 && number <= 255);
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
        QTest::newRow("markup stays text") << "KTX<b>1</b>" << true << "KTX<b>1";
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

    void unitAnsweringAfterTheWaitIsNotFoundAndItsPortIsClosed()
    {
        cm->device(4).answer = kUnit;
        cm->device(4).answerAfterMs = 100; // the wait is 5 ms
        const auto result = scan();
        QVERIFY(!result.found);
        QVERIFY(!cm->IsOpen());
        QCOMPARE(waits->count(), 1);
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
        QVERIFY(link->strReply.startsWith("KTX"));

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
        const QString hint = discovery::permissionHint(result.refusedForPermission);
        QVERIFY(hint.contains("fake3"));
        QVERIFY(hint.contains("dialout"));
        QVERIFY(discovery::permissionHint({}).isEmpty());
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
