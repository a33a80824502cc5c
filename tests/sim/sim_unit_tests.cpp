// The unit in-process on real pseudo-terminals, as tarvex-sim runs it.

#include "pty_client.h"
#include "sim_tests.h"

#include "sim/simulated_unit.h"
#include "sim/unit_memory.h"
#include "sim/unit_protocol.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>

#include <memory>
#include <termios.h>

using namespace tarvex::sim;

namespace {

const QByteArray kJunk(kGarbage);

QByteArray fileContents(const QString& path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray("<unreadable>");
}

bool writeFile(const QString& path, const QByteArray& contents)
{
    QFile file(path);
    return file.open(QIODevice::WriteOnly | QIODevice::Truncate) && file.write(contents) >= 0;
}

UnitMemory memoryIn(const QString& path)
{
    QString error;
    return loadMemory(path, &error).value_or(UnitMemory{});
}

} // namespace

class TestSimUnit : public QObject
{
    Q_OBJECT

    std::unique_ptr<SimulatedUnit> startedUnit(UnitOptions options = {})
    {
        auto unit = std::make_unique<SimulatedUnit>(std::move(options));
        if (!unit->start()) {
            qWarning("cannot start the unit: %s", qPrintable(unit->errorString()));
            return nullptr;
        }
        return unit;
    }
    QString scratch(const QString& name) const { return scratch_->filePath(name); }

    std::unique_ptr<QTemporaryDir> scratch_;

private slots:
    void init()
    {
        scratch_ = std::make_unique<QTemporaryDir>();
        QVERIFY(scratch_->isValid());
    }

    void startsOnARawPseudoTerminal()
    {
        const auto unit = startedUnit();
        QVERIFY(unit);
        QVERIFY2(unit->devicePath().startsWith("/dev/pts/"), qPrintable(unit->devicePath()));
        PtyClient client(unit->devicePath());
        QVERIFY(client.isOpen());
        QVERIFY(::isatty(client.descriptor()));

        termios modes{};
        QCOMPARE(::tcgetattr(client.descriptor(), &modes), 0);
        QCOMPARE(modes.c_lflag & (ICANON | ECHO | ISIG | IEXTEN), tcflag_t(0));
        QCOMPARE(modes.c_iflag & (ICRNL | INLCR | IGNCR | IXON | ISTRIP), tcflag_t(0));
        QCOMPARE(modes.c_oflag & OPOST, tcflag_t(0));
        QCOMPARE(modes.c_cflag & (CSIZE | PARENB | CSTOPB | CRTSCTS), tcflag_t(CS8));
        QCOMPARE(::cfgetispeed(&modes), speed_t(B9600));
        QCOMPARE(::cfgetospeed(&modes), speed_t(B9600));

        // Raw both ways: the CR reaches the unit as CR, and nothing comes back but the reply.
        QCOMPARE(client.exchange("?\r", kIdentityReply), kIdentityReply);
        QCOMPARE(client.readFor(100), QByteArray());
    }

    void answersTheWholeCommandSet()
    {
        const auto unit = startedUnit();
        QVERIFY(unit);
        PtyClient client(unit->devicePath());
        const QList<std::pair<QByteArray, QByteArray>> conversation{
            {"?\r", kIdentityReply},
            {"?N\r", "N0\r"},
            {"&N:\r", kOk},
            {"?N\r", "N:\r"},
            {"?E\r", "E00000000\r"},
            {"&E10100001\r", kOk},
            {"?E\r", "E10100001\r"},
            {"?P0\r", "P00000000000\r"},
            {"&P00123456789\r", kOk},
            {"?P0\r", "P00123456789\r"},
            {"&P:5550001111\r", kOk},
            {"?P:\r", "P:5550001111\r"},
            {"?P9\r", "P90000000000\r"},
            {"?M7\r", "M7Test message" + kEnd},
            {"&M7Test\r\nline 2" + kEnd, kOk},
            {"?M7\r", "M7Test\r\nline 2" + kEnd},
            {"&M2\xE9t\xE9" + kEnd, kOk},
            {"?M2\r", "M2\xE9t\xE9" + kEnd},
            {"&M3" + kEnd, kOk},
            {"?M3\r", "M3" + kEnd},
            {"?Q\r", "ERR\r"},
            {"&E1\r", "ERR\r"},
        };
        for (const auto& [command, reply] : conversation)
            QCOMPARE(client.exchange(command, reply), reply);
        QCOMPARE(unit->commandsReceived(), int(conversation.size()));
    }

    void reportsEachCommandReceived()
    {
        const auto unit = startedUnit();
        QVERIFY(unit);
        QSignalSpy received(unit.get(), &SimulatedUnit::commandReceived);
        PtyClient client(unit->devicePath());

        const QByteArray message = "&M1a\r\nb" + kEnd;
        const QByteArray replies = kIdentityReply + kOk + "E00000000\r";
        QCOMPARE(client.exchange("?\r" + message + "?E\r", replies), replies);
        QCOMPARE(received.count(), 3);
        QCOMPARE(received.at(0).at(0).toByteArray(), QByteArray("?\r"));
        QCOMPARE(received.at(1).at(0).toByteArray(), message);
        QCOMPARE(received.at(2).at(0).toByteArray(), QByteArray("?E\r"));
        QCOMPARE(unit->commandsReceived(), 3);
    }

    void aCommandSplitAcrossWritesIsOneCommand()
    {
        const auto unit = startedUnit();
        QVERIFY(unit);
        PtyClient client(unit->devicePath());
        for (const char* part : {"&", "M", "4", "two\r", "lines"}) {
            QVERIFY(client.write(part));
            QCOMPARE(client.readFor(30), QByteArray());
        }
        QCOMPARE(unit->commandsReceived(), 0);
        QCOMPARE(client.exchange(kEnd, kOk), kOk);
        QCOMPARE(client.exchange("?M4\r", "M4two\rlines" + kEnd), "M4two\rlines" + kEnd);
        QCOMPARE(unit->commandsReceived(), 2);
    }

    void servesAgainAfterTheClientReopens()
    {
        const auto unit = startedUnit();
        QVERIFY(unit);
        QSignalSpy hungUp(unit.get(), &SimulatedUnit::hungUp);
        for (int round = 0; round < 3; ++round) {
            PtyClient client(unit->devicePath());
            QVERIFY(client.isOpen());
            QCOMPARE(client.exchange("?\r", kIdentityReply), kIdentityReply);
            QVERIFY(!client.hungUp());
        }
        QCOMPARE(hungUp.count(), 0);
        QCOMPARE(unit->commandsReceived(), 3);
    }

    void keepsEveryReplyWhileTheClientDoesNotRead()
    {
        // Far more than a terminal buffers: the unit queues what cannot be written yet.
        const auto unit = startedUnit();
        QVERIFY(unit);
        PtyClient client(unit->devicePath());
        const QByteArray text(80, 'x');
        QCOMPARE(client.exchange("&M0" + text + kEnd, kOk), kOk);

        constexpr int kReads = 1500; // 85 bytes each
        const QByteArray expected = ("M0" + text + kEnd).repeated(kReads);
        QCOMPARE(client.exchange(QByteArray("?M0\r").repeated(kReads), expected).size(),
                 expected.size());
        QCOMPARE(unit->commandsReceived(), 1 + kReads);
    }

    void echoComesBeforeTheReply()
    {
        UnitOptions options;
        options.echo = true;
        const auto unit = startedUnit(options);
        QVERIFY(unit);
        PtyClient client(unit->devicePath());
        QCOMPARE(client.exchange("?N\r", "?N\rN0\r"), QByteArray("?N\rN0\r"));
        const QByteArray message = "&M0hi\r\nthere" + kEnd;
        QCOMPARE(client.exchange(message, message + kOk), message + kOk);
        QCOMPARE(client.exchange("?Q\r", "?Q\rERR\r"), QByteArray("?Q\rERR\r"));
    }

    void garbageComesBeforeEachReply()
    {
        UnitOptions options;
        options.garbage = true;
        const auto unit = startedUnit(options);
        QVERIFY(unit);
        PtyClient client(unit->devicePath());
        QVERIFY(!kJunk.isEmpty() && !kJunk.contains('K') && !kJunk.contains('\r'));
        QCOMPARE(client.exchange("?\r", kJunk + kIdentityReply), kJunk + kIdentityReply);
        QCOMPARE(client.exchange("&N2\r", kJunk + kOk), kJunk + kOk);
        QCOMPARE(client.exchange("?N\r", kJunk + "N2\r"), kJunk + "N2\r");
        QCOMPARE(client.exchange("?Q\r", kJunk + "ERR\r"), kJunk + "ERR\r");
    }

    void delayedRepliesComeLateAndInOrder()
    {
        UnitOptions options;
        options.delayMs = 500;
        const auto unit = startedUnit(options);
        QVERIFY(unit);
        PtyClient client(unit->devicePath());

        QVERIFY(client.write("?N\r"));
        QCOMPARE(client.readFor(200), QByteArray()); // a 200 ms exchange reads nothing
        QCOMPARE(client.readUntil("N0\r"), QByteArray("N0\r"));

        // A second command goes out while the first answer is still due: answers keep their order.
        QVERIFY(client.write("?E\r"));
        QCOMPARE(client.readFor(100), QByteArray());
        const QByteArray both = "E00000000\r" + kIdentityReply;
        QCOMPARE(client.exchange("?\r", both), both);
    }

    void echoComesAtOnceAndTheDelayedRestLater()
    {
        UnitOptions options;
        options.echo = true;
        options.garbage = true;
        options.delayMs = 500;
        const auto unit = startedUnit(options);
        QVERIFY(unit);
        PtyClient client(unit->devicePath());
        QVERIFY(client.write("?E\r"));
        QCOMPARE(client.readFor(200), QByteArray("?E\r"));
        QCOMPARE(client.readUntil(kJunk + "E00000000\r"), kJunk + "E00000000\r");
    }

    void aSilentUnitNeverAnswersButStores()
    {
        UnitOptions options;
        options.silent = true;
        options.echo = true;
        options.garbage = true;
        options.statePath = scratch("unit.json");
        const auto unit = startedUnit(options);
        QVERIFY(unit);
        QSignalSpy received(unit.get(), &SimulatedUnit::commandReceived);
        PtyClient client(unit->devicePath());
        QVERIFY(client.write("?\r&N5\r?Q\r?N\r"));
        QCOMPARE(client.readFor(300), QByteArray());
        QCOMPARE(received.count(), 4);
        QCOMPARE(memoryIn(options.statePath).phoneCount, 5);
    }

    void hangupAfterAnswersTheNthCommandThenClosesTheLine()
    {
        UnitOptions options;
        options.hangupAfter = 3;
        options.linkPath = scratch("unit");
        const auto unit = startedUnit(options);
        QVERIFY(unit);
        QSignalSpy hungUp(unit.get(), &SimulatedUnit::hungUp);
        PtyClient client(unit->devicePath());

        QCOMPARE(client.exchange("?\r", kIdentityReply), kIdentityReply);
        QCOMPARE(client.exchange("?N\r", "N0\r"), QByteArray("N0\r"));
        QVERIFY(!client.hungUp());
        QCOMPARE(client.exchange("?E\r", "E00000000\r"), QByteArray("E00000000\r"));
        QVERIFY(client.waitForHangup());
        QCOMPARE(hungUp.count(), 1);
        QCOMPARE(unit->commandsReceived(), 3);
        QVERIFY(!QFileInfo(options.linkPath).isSymLink());

        QVERIFY(!client.write("?\r")); // the line stays down
        QCOMPARE(unit->commandsReceived(), 3);
        QCOMPARE(hungUp.count(), 1);
    }

    // The line goes as the write is in: stored, never answered, and the rest of the chunk
    // is not handled.
    void cutAfterTakesTheNthCommandUnanswered()
    {
        UnitOptions options;
        options.cutAfter = 2;
        options.statePath = scratch("unit.json");
        const auto unit = startedUnit(options);
        QVERIFY(unit);
        PtyClient client(unit->devicePath());
        QCOMPARE(client.exchange("?N\r", "N0\r"), QByteArray("N0\r"));
        QVERIFY(client.write("&N5\r?N\r"));
        QVERIFY(client.waitForHangup());
        QCOMPARE(client.readFor(0), QByteArray());
        QCOMPARE(unit->commandsReceived(), 2);
        QCOMPARE(memoryIn(options.statePath).phoneCount, 5);
    }

    void hangupIgnoresTheRestOfItsChunk()
    {
        UnitOptions options;
        options.hangupAfter = 2;
        options.logPath = scratch("sim.log");
        const auto unit = startedUnit(options);
        QVERIFY(unit);
        PtyClient client(unit->devicePath());
        const QByteArray chunk("?\r?N\r?E\r?P0\r");
        const QByteArray replies = kIdentityReply + "N0\r";
        QCOMPARE(client.exchange(chunk, replies), replies);
        QVERIFY(client.waitForHangup());
        QCOMPARE(client.readFor(0), QByteArray());
        QCOMPARE(unit->commandsReceived(), 2);
        QCOMPARE(fileContents(options.logPath), chunk); // received all the same
    }

    void hangupWaitsForADelayedAnswer()
    {
        UnitOptions options;
        options.hangupAfter = 1;
        options.delayMs = 300;
        const auto unit = startedUnit(options);
        QVERIFY(unit);
        PtyClient client(unit->devicePath());
        QCOMPARE(client.exchange("?N\r", "N0\r"), QByteArray("N0\r"));
        QVERIFY(client.waitForHangup());
    }

    void hangupDoesNotWaitForAClientThatLeft()
    {
        UnitOptions options;
        options.hangupAfter = 1;
        const auto unit = startedUnit(options);
        QVERIFY(unit);
        QSignalSpy hungUp(unit.get(), &SimulatedUnit::hungUp);
        {
            PtyClient client(unit->devicePath());
            QVERIFY(client.write("?\r"));
        } // closed before the answer could be read
        QVERIFY(hungUp.wait(PtyClient::kPatienceMs));
    }

    void linkPointsAtTheDeviceWhileTheUnitLives()
    {
        UnitOptions options;
        options.linkPath = scratch("ttyTarvex");
        auto unit = startedUnit(options);
        QVERIFY(unit);
        const QFileInfo link(options.linkPath);
        QVERIFY(link.isSymLink());
        QCOMPARE(link.symLinkTarget(), unit->devicePath());

        PtyClient client(options.linkPath);
        QCOMPARE(client.exchange("?\r", kIdentityReply), kIdentityReply);
        client.close();
        unit.reset();
        QVERIFY(!QFileInfo(options.linkPath).isSymLink());
    }

    void linkReplacesAStaleLinkButNeverAFile()
    {
        UnitOptions options;
        options.linkPath = scratch("stale");
        QVERIFY(QFile::link("/nonexistent/ttyGone", options.linkPath));
        const auto unit = startedUnit(options);
        QVERIFY(unit);
        QCOMPARE(QFileInfo(options.linkPath).symLinkTarget(), unit->devicePath());

        options.linkPath = scratch("precious");
        QVERIFY(writeFile(options.linkPath, "keep me"));
        SimulatedUnit refused(options);
        QVERIFY(!refused.start());
        QVERIFY2(refused.errorString().contains(options.linkPath),
                 qPrintable(refused.errorString()));
        QCOMPARE(fileContents(options.linkPath), QByteArray("keep me"));
    }

    void aLinkTakenOverByAnotherUnitStaysWithIt()
    {
        UnitOptions options;
        options.linkPath = scratch("ttyTarvex");
        auto first = startedUnit(options);
        auto second = startedUnit(options);
        QVERIFY(first && second);
        QCOMPARE(QFileInfo(options.linkPath).symLinkTarget(), second->devicePath());

        first.reset();
        QCOMPARE(QFileInfo(options.linkPath).symLinkTarget(), second->devicePath());
        second.reset();
        QVERIFY(!QFileInfo(options.linkPath).isSymLink());
    }

    void stateIsWrittenOnEveryChangeAndRemembered()
    {
        UnitOptions options;
        options.statePath = scratch("unit.json");
        auto unit = startedUnit(options);
        QVERIFY(unit);
        QCOMPARE(memoryIn(options.statePath), UnitMemory{}); // written at start, to be edited

        UnitMemory expected;
        {
            PtyClient client(unit->devicePath());
            QCOMPARE(client.exchange("&N4\r", kOk), kOk);
            expected.phoneCount = 4;
            QCOMPARE(memoryIn(options.statePath), expected); // saved before the acknowledgement
            QCOMPARE(client.exchange("&E11110001\r", kOk), kOk);
            QCOMPARE(client.exchange("&P20123456789\r", kOk), kOk);
            QCOMPARE(client.exchange("&P:5550001111\r", kOk), kOk);
            QCOMPARE(client.exchange("&M7Test\r\nnow" + kEnd, kOk), kOk);
            expected.eventMask = "11110001";
            expected.phones[2] = "0123456789";
            expected.phones[kTestPhoneSlot] = "5550001111";
            expected.messages[7] = "Test\r\nnow";
            QCOMPARE(memoryIn(options.statePath), expected);
        }
        unit.reset();
        QCOMPARE(QDir(scratch_->path()).entryList(QDir::Files), QStringList{"unit.json"});

        unit = startedUnit(options);
        QVERIFY(unit);
        PtyClient client(unit->devicePath());
        QCOMPARE(client.exchange("?N\r", "N4\r"), QByteArray("N4\r"));
        QCOMPARE(client.exchange("?E\r", "E11110001\r"), QByteArray("E11110001\r"));
        QCOMPARE(client.exchange("?P2\r", "P20123456789\r"), QByteArray("P20123456789\r"));
        QCOMPARE(client.exchange("?P:\r", "P:5550001111\r"), QByteArray("P:5550001111\r"));
        QCOMPARE(client.exchange("?M7\r", "M7Test\r\nnow" + kEnd), "M7Test\r\nnow" + kEnd);
    }

    void anUnusableStateFileRefusesToStart()
    {
        UnitOptions options;
        options.statePath = scratch("broken.json");
        options.linkPath = scratch("unit");
        QVERIFY(writeFile(options.statePath, "{ not json"));
        SimulatedUnit broken(options);
        QVERIFY(!broken.start());
        QVERIFY2(broken.errorString().contains(options.statePath),
                 qPrintable(broken.errorString()));
        QCOMPARE(broken.devicePath(), QString());
        QCOMPARE(fileContents(options.statePath), QByteArray("{ not json"));
        QVERIFY(!QFileInfo::exists(options.linkPath));

        options.statePath = scratch("missing/unit.json");
        SimulatedUnit homeless(options);
        QVERIFY(!homeless.start());
        QVERIFY2(homeless.errorString().contains(options.statePath),
                 qPrintable(homeless.errorString()));
    }

    void logHoldsEveryByteAsReceived()
    {
        UnitOptions options;
        options.logPath = scratch("sim.log");
        QVERIFY(writeFile(options.logPath, "earlier\r"));
        const auto unit = startedUnit(options);
        QVERIFY(unit);

        PtyClient client(unit->devicePath());
        QVERIFY(client.write("?"));
        QCOMPARE(client.readFor(30), QByteArray());
        const QList<std::pair<QByteArray, QByteArray>> conversation{
            {"\r", kIdentityReply},
            {"&M0a\r\nb" + kEnd, kOk},
            {"?N\r?E\r", "N0\rE00000000\r"},
            {QByteArray("\x00\xFF\n junk\r", 9), "ERR\r"},
        };
        QByteArray all = "earlier\r?"; // appended to, never emptied
        for (const auto& [chunk, reply] : conversation) {
            QCOMPARE(client.exchange(chunk, reply), reply);
            all += chunk;
            QCOMPARE(fileContents(options.logPath), all); // written before the answer
        }
    }

    void anUnwritableLogRefusesToStart()
    {
        UnitOptions options;
        options.logPath = scratch("missing/sim.log");
        SimulatedUnit unit(options);
        QVERIFY(!unit.start());
        QVERIFY2(unit.errorString().contains(options.logPath), qPrintable(unit.errorString()));
    }

    void twoUnitsHaveLinesOfTheirOwn()
    {
        UnitOptions other;
        other.identity = "KTX-999 Other";
        const auto first = startedUnit();
        const auto second = startedUnit(other);
        QVERIFY(first && second);
        QVERIFY(first->devicePath() != second->devicePath());
        PtyClient a(first->devicePath());
        PtyClient b(second->devicePath());
        QCOMPARE(b.exchange("?\r", "KTX-999 Other\r"), QByteArray("KTX-999 Other\r"));
        QCOMPARE(a.exchange("?\r", kIdentityReply), kIdentityReply);
        QCOMPARE(first->commandsReceived(), 1);
        QCOMPARE(second->commandsReceived(), 1);
    }
};

std::unique_ptr<QObject> makeSimUnitTests()
{
    return std::make_unique<TestSimUnit>();
}

#include "sim_unit_tests.moc"
