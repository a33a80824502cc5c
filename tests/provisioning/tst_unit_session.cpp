// The engine's strict reads over a line the caller owns, against tarvex-sim.
#include "link/link.h"
#include "link/link_errors.h"
#include "link/serial_port.h"
#include "provisioning/differences.h"
#include "provisioning/failure.h"
#include "provisioning/unit_session.h"
#include "support/sim_process.h"

#include <QTest>

using namespace tarvex;
using namespace std::chrono_literals;
using Kind = provisioning::Failure::Kind;

Q_DECLARE_METATYPE(provisioning::Failure::Kind)

namespace {

// The caller's own open port and link, as the window's connection holds them.
struct OwnLine
{
    explicit OwnLine(SimProcess& sim)
        : cm(link::PortMap::pinned({{1, sim.devicePath()}})), exchange(cm, 40ms),
          session(exchange, sim.devicePath())
    {
        opened = cm.SetOpen(true);
    }
    link::SerialPort cm;
    link::Link exchange;
    provisioning::UnitSession session;
    bool opened = false;
};

} // namespace

class TestUnitSession : public QObject
{
    Q_OBJECT
private slots:
    // Progress counts items; a stop asked for at item 2 ends the read after its exchange.
    void progressReportsItemsAndStopsAfterTheExchangeInFlight()
    {
        SimProcess sim;
        QVERIFY(sim.start());
        OwnLine line(sim);
        QVERIFY(line.opened);
        QList<std::pair<int, int>> seen;
        line.session.setProgress([&](int done, int total) {
            seen.append({done, total});
            return done < 2;
        });
        provisioning::UnitValues unit;
        try {
            line.session.read(provisioning::allItems(false), unit);
            QFAIL("the read went on after the stop");
        } catch (const provisioning::Failure& failure) {
            QCOMPARE(failure.kind(), Kind::Interrupted);
        }
        QCOMPARE(seen, (QList<std::pair<int, int>>{{0, 13}, {1, 13}, {2, 13}}));
        QCOMPARE(sim.log(), QByteArray("?N\r?E\r"));
        QVERIFY(unit.count && unit.mask && !unit.phones[0]);
    }

    void strictReadsEndOnWhatIsNotTheUnitsValue_data()
    {
        QTest::addColumn<QStringList>("mode");
        QTest::addColumn<Kind>("kind");
        QTest::newRow("silent") << QStringList{"--silent"} << Kind::NoAnswer;
        QTest::newRow("out of turn") << QStringList{"--garbage"} << Kind::BadReply;
    }
    void strictReadsEndOnWhatIsNotTheUnitsValue()
    {
        QFETCH(QStringList, mode);
        QFETCH(Kind, kind);
        SimProcess sim(mode);
        QVERIFY(sim.start());
        OwnLine line(sim);
        QVERIFY(line.opened);
        provisioning::UnitValues unit;
        try {
            line.session.read(provisioning::allItems(true), unit);
            QFAIL("a read took what is not the unit's value");
        } catch (const provisioning::Failure& failure) {
            QCOMPARE(failure.kind(), kind);
            QCOMPARE(failure.device(), sim.devicePath());
        }
        QCOMPARE(sim.log(), QByteArray("?N\r"));
    }

    // A reply that comes too late lands in the next exchange; there it names another slot, and
    // is no value for the slot asked for.
    void aLateReplyOfAnotherSlotIsABadReply()
    {
        SimProcess sim({"--delay", "150"});
        QVERIFY(sim.start());
        OwnLine line(sim);
        QVERIFY(line.opened);
        line.exchange.setReplyWait(100ms);
        provisioning::UnitValues unit;
        const auto kindOfRead = [&](int slot) {
            try {
                line.session.read({{provisioning::Item::Kind::Phone, slot}}, unit);
            } catch (const provisioning::Failure& failure) {
                return failure.kind();
            }
            return Kind::Interrupted; // stands for "no failure"
        };
        QCOMPARE(kindOfRead(0), Kind::NoAnswer);
        QCOMPARE(kindOfRead(1), Kind::BadReply);
        QVERIFY(!unit.phones[1]);
    }

    // A unit that stops answering writes gets no count and no switches after the numbers it
    // did not take.
    void writesStopAtTheFirstUnansweredOne()
    {
        SimProcess sim({"--silent"});
        QVERIFY(sim.start());
        OwnLine line(sim);
        QVERIFY(line.opened);
        provisioning::ManagedConfiguration file;
        file.numbers = QStringList{"9800000001"};
        file.events[0].enabled = true;
        using provisioning::Item;
        try {
            line.session.write(
                {{Item::Kind::Phone, 0}, {Item::Kind::Count, 0}, {Item::Kind::Mask, 0}}, file,
                provisioning::UnitValues{});
            QFAIL("the writes went on without an answer");
        } catch (const provisioning::Failure& failure) {
            QCOMPARE(failure.kind(), Kind::NoAnswer);
        }
        QCOMPARE(sim.log(), QByteArray("&P09800000001\r"));
        QVERIFY(line.session.written().isEmpty());
    }

    // The owner of the line decides what a lost line means (the window's decision-6 box), so
    // the engine passes the link's own error through.
    void aLostLineReachesTheOwnerAsTheLinksError()
    {
        SimProcess sim({"--hangup-after", "1"});
        QVERIFY(sim.start());
        OwnLine line(sim);
        QVERIFY(line.opened);
        provisioning::UnitValues unit;
        QVERIFY_THROWS_EXCEPTION(link::LinkError,
                                 line.session.read(provisioning::allItems(false), unit));
    }
};

QTEST_GUILESS_MAIN(TestUnitSession)
#include "tst_unit_session.moc"
