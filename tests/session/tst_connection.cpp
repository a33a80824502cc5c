// The owner of the connection: one sequence at a time, and one report per lost line whoever
// notices it first, even when the report's box runs an event loop that delivers a second
// notice of the same loss.
#include "fake_port.h"
#include "link/link_errors.h"
#include "session/connection.h"

#include <QEventLoop>
#include <QTest>
#include <QTimer>

using namespace tarvex;
using namespace std::chrono_literals;
using Outcome = session::Connection::Outcome;

class TestConnection : public QObject
{
    Q_OBJECT

    FakePort* port = nullptr;
    session::Connection* connection = nullptr;
    QStringList reports; // one per box the window would show

    // The window's box: modal, so queued signals are delivered while it is open.
    void showBox(const QString& device)
    {
        reports << device;
        QEventLoop box;
        QTimer::singleShot(0, &box, &QEventLoop::quit);
        box.exec();
    }
    void loseDevice() { emit port->deviceLost(port->deviceName(), QStringLiteral("gone")); }

private slots:
    void init()
    {
        auto fake = std::make_unique<FakePort>();
        port = fake.get();
        port->device(3).answer = QStringLiteral("KTX-210\r");
        connection = new session::Connection(std::move(fake), 5ms);
        reports.clear();
        connect(connection, &session::Connection::lineLost, this,
                [this](const QString& device) { showBox(device); });
        const std::optional<discovery::ScanResult> found = connection->scan();
        QVERIFY(found && found->found && connection->isConnected());
    }
    void cleanup() { delete connection; }

    void failedExchangeAndPortErrorAreOneLoss()
    {
        // The port notices the loss just as the exchange fails: its queued notice arrives
        // while the box of the failed exchange is open.
        const Outcome outcome = connection->run([this](link::Link&) {
            loseDevice();
            throw link::LinkError(port->deviceName(), QStringLiteral("read failed"));
        });
        QCoreApplication::processEvents();
        QCOMPARE(outcome, Outcome::Failed);
        QCOMPARE(reports, QStringList{"fake3"});
        QVERIFY(!connection->isConnected() && !port->IsOpen());
    }

    void lossDuringASequenceIsReportedWhenItEnds()
    {
        const Outcome outcome = connection->run([this](link::Link& link) {
            loseDevice();
            link.Wait(); // delivers the notice while busy
            QVERIFY(reports.isEmpty());
        });
        QCOMPARE(outcome, Outcome::Done);
        QCOMPARE(reports, QStringList{"fake3"});
        QVERIFY(!connection->isConnected());
    }

    void lossWhileIdleIsReportedOnce()
    {
        loseDevice();
        loseDevice();
        QTRY_COMPARE(reports, QStringList{"fake3"});
        QTest::qWait(20); // a second report would come now
        QCOMPARE(reports, QStringList{"fake3"});
    }

    void oneSequenceAtATime()
    {
        std::optional<discovery::ScanResult> nestedScan;
        Outcome nested = Outcome::Done;
        connection->run([&](link::Link&) {
            QVERIFY(connection->isBusy());
            nested = connection->run([](link::Link&) {});
            nestedScan = connection->scan();
        });
        QCOMPARE(nested, Outcome::Refused);
        QVERIFY(!nestedScan);
        QVERIFY(!connection->isBusy() && connection->isConnected());
    }
};

QTEST_GUILESS_MAIN(TestConnection)
#include "tst_connection.moc"
