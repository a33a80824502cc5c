// The engine's strict reads and its apply over a line the caller owns, against tarvex-sim.
#include "link/line_port.h"
#include "link/link.h"
#include "link/link_errors.h"
#include "provisioning/apply.h"
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
        : cm(link::PortMap::pinned({{1, link::DeviceName::serial(sim.devicePath())}})),
          exchange(cm, 40ms), session(exchange, sim.devicePath())
    {
        opened = cm.SetOpen(true);
    }
    link::LinePort cm;
    link::Link exchange;
    provisioning::UnitSession session;
    bool opened = false;
};

// Two numbers, a test number and the test event on: five items, each differing on a fresh unit.
const QByteArray kFile = R"({"format": "tarvex-config", "version": 1, "identity": "KTX-210",
    "phones": {"numbers": ["9800000000", "9811111111"], "test": "9899999999"},
    "events": {"test": {"enabled": true}}})";

QString endedAs(const std::exception_ptr& ended)
{
    if (!ended)
        return QStringLiteral("-");
    try {
        std::rethrow_exception(ended);
    } catch (const provisioning::Failure& failure) {
        return failure.kind() == Kind::Interrupted ? QStringLiteral("stopped")
                                                   : QStringLiteral("failure");
    } catch (const link::LinkError&) {
        return QStringLiteral("lost line");
    }
}

QStringList pathsOf(const QList<provisioning::Change>& changes)
{
    QStringList paths;
    for (const provisioning::Change& change : changes)
        paths << change.path;
    return paths;
}

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

    // Each outcome of an apply once: what differed, what the unit took, what was never sent,
    // what still differs after the second write, and how the run ended.
    void applyOutcomes_data()
    {
        QTest::addColumn<QStringList>("mode");
        QTest::addColumn<bool>("write");
        QTest::addColumn<int>("stopAtStep"); // progress steps, reads first; 0: none
        QTest::addColumn<QString>("identity");
        QTest::addColumn<QString>("ended");
        QTest::addColumn<QStringList>("written");
        QTest::addColumn<int>("notSent");
        QTest::addColumn<int>("stillDiffering");
        QTest::addColumn<QString>("otherIdentity");
        const QStringList all{"phones.numbers[0]", "phones.numbers[1]", "phones.count",
                              "phones.test", "events.test.enabled"};
        const QStringList numbers = all.mid(0, 2);
        QTest::newRow("declined, from another unit") << QStringList() << false << 0 << "KTX-999"
                                                     << "-" << QStringList() << 0 << 0 << "KTX-210";
        QTest::newRow("written and verified") << QStringList() << true << 0 << "KTX-210"
                                              << "-" << all << 0 << 0 << "";
        QTest::newRow("ignored writes still differ")
            << QStringList{"--ignore-writes"} << true << 0 << "KTX-210"
            << "-" << all << 0 << 5 << "";
        QTest::newRow("stopped after two writes") << QStringList() << true << 7 << "KTX-210"
                                                  << "stopped" << numbers << 3 << 0 << "";
        QTest::newRow("line lost after two writes")
            << QStringList{"--hangup-after", "8"} << true << 0 << "KTX-210"
            << "lost line" << numbers << 3 << 0 << "";
    }
    void applyOutcomes()
    {
        QFETCH(QStringList, mode);
        QFETCH(bool, write);
        QFETCH(int, stopAtStep);
        QFETCH(QString, identity);
        QFETCH(QString, ended);
        QFETCH(QStringList, written);
        QFETCH(int, notSent);
        QFETCH(int, stillDiffering);
        QFETCH(QString, otherIdentity);
        SimProcess sim(mode);
        QVERIFY(sim.start());
        OwnLine line(sim);
        QVERIFY(line.opened);
        line.exchange.setReplyWait(100ms); // fifteen exchanges, none of them late on a busy PC
        int steps = 0;
        line.session.setProgress([&](int done, int) { return done == 0 || ++steps != stopAtStep; });
        const auto file = provisioning::loadConfiguration(kFile).configuration;
        QVERIFY(file);

        const provisioning::ApplyOutcome outcome = provisioning::apply(
            line.session, *file, identity, [&](const provisioning::ApplyOutcome& compared) {
                return compared.differences.size() == 5 && write;
            });

        QCOMPARE(pathsOf(outcome.differences).size(), 5);
        QCOMPARE(endedAs(outcome.ended), ended);
        QCOMPARE(outcome.wrote, write);
        QCOMPARE(pathsOf(outcome.written), written);
        QCOMPARE(outcome.notSent.size(), notSent);
        QCOMPARE(outcome.stillDiffering.size(), stillDiffering);
        QCOMPARE(outcome.otherIdentity, otherIdentity);
        QVERIFY(write || !sim.log().contains('&'));
        // What the unit took shows as its value, what it was never sent as it was read.
        if (outcome.ended) {
            QCOMPARE(outcome.unit.phones[1], std::optional<QString>("9811111111"));
            QCOMPARE(outcome.unit.count, std::optional<int>(0));
        }
    }

    // No difference, no question and nothing written.
    void anEqualUnitIsNotAsked()
    {
        SimProcess sim;
        QVERIFY(sim.start());
        OwnLine line(sim);
        QVERIFY(line.opened);
        const auto file = provisioning::loadConfiguration(
                              R"({"format": "tarvex-config", "version": 1,
                                  "events": {"test": {"enabled": false}}})")
                              .configuration;
        QVERIFY(file);
        const auto outcome = provisioning::apply(line.session, *file, "KTX-210",
                                                 [](const provisioning::ApplyOutcome&) {
                                                     QTest::qFail("asked", __FILE__, __LINE__);
                                                     return true;
                                                 });
        QVERIFY(outcome.differences.isEmpty() && !outcome.wrote && !outcome.ended);
        QCOMPARE(sim.log(), QByteArray("?E\r"));
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
