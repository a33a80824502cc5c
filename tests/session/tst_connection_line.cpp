// The connection over pinned pseudo-terminals with simulators behind them, with the real wait.
#include "link/link.h"
#include "session/connection.h"
#include "support/sim_process.h"

#include <QSignalSpy>
#include <QTest>

using namespace tarvex;

class TestConnectionLine : public QObject
{
    Q_OBJECT
private slots:
    // Its loss is the scan's to pass over, not the unit's found after it.
    void deviceVanishingDuringItsProbeIsPassedOver()
    {
        SimProcess vanishing({"--silent"});
        SimProcess unit;
        QVERIFY(vanishing.start() && unit.start());
        session::Connection connection(
            link::PortMap::pinned({{2, link::DeviceName::serial(vanishing.devicePath())},
                                   {3, link::DeviceName::serial(unit.devicePath())}}));
        QSignalSpy lost(&connection, &session::Connection::lineLost);
        QObject::connect(
            &connection.exchange(), &link::Link::waitStarted, &connection,
            [&vanishing] { vanishing.stop(); }, Qt::SingleShotConnection);

        const auto result = connection.scan();
        const auto afterwards = connection.run(
            [](link::Link& link) { QVERIFY(link.SendAndWait("?\r").startsWith("KTX")); });

        QCOMPARE(result->portNumber, 3);
        QCOMPARE(afterwards, session::Connection::Outcome::Done);
        QVERIFY(connection.isConnected());
        QCOMPARE(lost.count(), 0);
    }
};

QTEST_GUILESS_MAIN(TestConnectionLine)
#include "tst_connection_line.moc"
