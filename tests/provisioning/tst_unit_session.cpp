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

// A verdict as a test row names it, with the kind of its failure where there is one.
QString described(const provisioning::Verdict& verdict)
{
    namespace v = provisioning::verdict;
    const auto failure = [](const provisioning::Failure& ended) {
        return ended.kind() == Kind::Interrupted ? QStringLiteral("stopped")
                                                 : QStringLiteral("failure");
    };
    return std::visit(
        provisioning::Overloaded{
            [](const v::AlreadyEqual&) { return QStringLiteral("already equal"); },
            [](const v::Declined&) { return QStringLiteral("declined"); },
            [](const v::Verified&) { return QStringLiteral("verified"); },
            [](const v::StillDiffering&) { return QStringLiteral("still differing"); },
            [&](const v::FailedBeforeWriting& failed) {
                const auto* lost = std::get_if<provisioning::LostLine>(&failed.why);
                return QStringLiteral("failed before writing: ") +
                       (lost ? QStringLiteral("lost line")
                             : failure(std::get<provisioning::Failure>(failed.why)));
            },
            [&](const v::StoppedWhileWriting& stopped) {
                return QStringLiteral("while writing: ") + failure(stopped.why);
            },
            [](const v::LineLostWhileWriting&) {
                return QStringLiteral("while writing: lost line");
            },
        },
        verdict);
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
        const provisioning::UnitSession::Write unanswered{{Item::Kind::Phone, 0}, false};
        QCOMPARE(line.session.writes(), QList{unanswered}); // went out: the unit may hold it
    }

    // Each verdict of an apply once: what differed, what the unit took, what went out
    // unanswered, what was never sent, what still differs after the second write.
    void applyOutcomes_data()
    {
        QTest::addColumn<QStringList>("mode");
        QTest::addColumn<bool>("write");
        QTest::addColumn<int>("stopAtStep"); // progress steps, reads first; 0: none
        QTest::addColumn<QString>("identity");
        QTest::addColumn<QString>("verdict");
        QTest::addColumn<QStringList>("written");
        QTest::addColumn<QStringList>("unconfirmed");
        QTest::addColumn<int>("notSent");
        QTest::addColumn<int>("stillDiffering");
        QTest::addColumn<QString>("otherIdentity");
        const QStringList all{"phones.numbers[0]", "phones.numbers[1]", "phones.count",
                              "phones.test", "events.test.enabled"};
        const QStringList numbers = all.mid(0, 2);
        const QStringList none;
        QTest::newRow("declined, from another unit")
            << none << false << 0 << "KTX-999"
            << "declined" << none << none << 0 << 0 << "KTX-210";
        QTest::newRow("written and verified") << none << true << 0 << "KTX-210"
                                              << "verified" << all << none << 0 << 0 << "";
        QTest::newRow("ignored writes still differ")
            << QStringList{"--ignore-writes"} << true << 0 << "KTX-210"
            << "still differing" << all << none << 0 << 5 << "";
        QTest::newRow("line lost among the reads")
            << QStringList{"--hangup-after", "2"} << true << 0 << "KTX-210"
            << "failed before writing: lost line" << none << none << 0 << 0 << "";
        QTest::newRow("stopped after two writes")
            << none << true << 7 << "KTX-210"
            << "while writing: stopped" << numbers << none << 3 << 0 << "";
        // The third write's answer came just before the close: the unit took it.
        QTest::newRow("line lost after three answered writes")
            << QStringList{"--hangup-after", "8"} << true << 0 << "KTX-210"
            << "while writing: lost line" << numbers + QStringList{"phones.test"} << none << 2 << 0
            << "";
        QTest::newRow("line lost as the third write went out")
            << QStringList{"--cut-after", "8"} << true << 0 << "KTX-210"
            << "while writing: lost line" << numbers << QStringList{"phones.test"} << 2 << 0 << "";
    }
    void applyOutcomes()
    {
        QFETCH(QStringList, mode);
        QFETCH(bool, write);
        QFETCH(int, stopAtStep);
        QFETCH(QString, identity);
        QFETCH(QString, verdict);
        QFETCH(QStringList, written);
        QFETCH(QStringList, unconfirmed);
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

        QCOMPARE(described(outcome.verdict), verdict);
        QCOMPARE(pathsOf(outcome.written), written);
        QCOMPARE(pathsOf(outcome.unconfirmed), unconfirmed);
        QCOMPARE(outcome.notSent.size(), notSent);
        QCOMPARE(outcome.stillDiffering.size(), stillDiffering);
        QCOMPARE(outcome.otherIdentity, otherIdentity);
        QVERIFY(write || !sim.log().contains('&'));
        // A run ended among its writes: what the unit took shows as its value; what went out
        // unanswered or was never sent, as it was read.
        if (verdict.startsWith("while writing")) {
            QStringList left = pathsOf(provisioning::differences(outcome.unit, *file));
            QStringList expected = unconfirmed + pathsOf(outcome.notSent);
            left.sort();
            expected.sort();
            QCOMPARE(left, expected);
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
        QCOMPARE(described(outcome.verdict), "already equal");
        QCOMPARE(sim.log(), QByteArray("?E\r"));
    }

    // The owner of the line decides what a lost line means (the window's "Connection" box), so
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
