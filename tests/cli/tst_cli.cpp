#include "cli_run.h"
#include "link/line_port.h"
#include "provisioning/invalid_files.h"
#include "support/scripted_unit.h"
#include "support/sim_process.h"

#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QSerialPort>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>

#include <csignal>
#include <fcntl.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

// Short enough to keep the suite quick, long enough for a loaded CI machine to answer.
const QString kFastWait = QStringLiteral("--reply-wait=150");

QString writeFile(const QTemporaryDir& dir, const QString& name, const QByteArray& bytes)
{
    const QString path = dir.filePath(name);
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly) || file.write(bytes) != bytes.size())
        qFatal("cannot write %s", qPrintable(path));
    return path;
}

QJsonObject stateOf(const QString& path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return {};
    return QJsonDocument::fromJson(file.readAll()).object();
}

// What a configuration file manages of a simulator's memory: the numbers in use, the test
// number, the mask and the texts.
QJsonObject managedPart(const QJsonObject& state)
{
    const int count = state.value("count").toInt();
    const QJsonArray phones = state.value("phones").toArray();
    QJsonArray inUse;
    for (int slot = 0; slot < count; ++slot)
        inUse.append(phones.at(slot));
    return {{"count", count},
            {"numbers", inUse},
            {"test", phones.at(10)},
            {"mask", state.value("mask")},
            {"messages", state.value("messages")}};
}

const QByteArray kFieldUnit = R"({
  "count": 3, "mask": "10100001",
  "phones": ["9800000001", "9800000002", "+919800003", "1111111111", "1111111111", "1111111111",
             "1111111111", "1111111111", "1111111111", "1111111111", "9899999999"],
  "messages": ["Netz 1 ein", "Netz 2 ein", "Netz 1 aus", "Netz 2 aus", "E1", "E2", "E3",
               "Zeile 1\r\nGr\u00fc\u00dfe \u00bd"]
})";

QByteArray contentOf(const QString& path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

// A disk that is full after 100 bytes, without privileges: writes beyond fail with EFBIG.
void fillDiskAfter100Bytes(QProcess& process)
{
    process.setChildProcessModifier([] {
        const rlimit limit{100, 100};
        ::setrlimit(RLIMIT_FSIZE, &limit);
        ::signal(SIGXFSZ, SIG_IGN);
    });
}

QByteArrayList commandsIn(const QByteArray& log)
{
    QByteArrayList commands = log.split('\r');
    commands.removeAll(QByteArray());
    return commands;
}

} // namespace

class TestCli : public QObject
{
    Q_OBJECT

private slots:
    // read from one unit, apply to another, and the second holds what the first held: line
    // breaks and characters above 127 included. Applying again only reads; --check never
    // writes.
    void cloneIsExactAndIdempotent()
    {
        QTemporaryDir dir;
        const QString source = writeFile(dir, "s1.json", kFieldUnit);
        const QString target = dir.filePath("s2.json");
        SimProcess sim1({"--state", source});
        SimProcess sim2({"--state", target, "--id", "KTX-300"});
        QVERIFY(sim1.start() && sim2.start());

        const QString file = dir.filePath("a.json");
        QCOMPARE(runCli({"read", "--device", sim1.devicePath(), "-o", file}).exitCode, 0);
        const CliRun apply = runCli({"apply", file, "--device", sim2.devicePath(), kFastWait});
        QCOMPARE(apply.exitCode, 0);
        QVERIFY(apply.err.contains("the unit is \"KTX-300\", the file names \"KTX-210\""));
        const CliRun diff = runCli({"diff", file, "--device", sim2.devicePath(), kFastWait});
        QCOMPARE(diff.exitCode, 0);
        QCOMPARE(diff.out, QByteArray());
        QCOMPARE(managedPart(stateOf(target)), managedPart(stateOf(source)));

        const qsizetype before = sim2.log().size();
        const CliRun again =
            runCli({"apply", file, "--device", sim2.devicePath(), "--json", kFastWait});
        QCOMPARE(again.exitCode, 0);
        QCOMPARE(again.json().value("changed").toBool(), false);
        QCOMPARE(again.json().value("verified").toBool(), true);
        QVERIFY(!sim2.log().mid(before).contains('&'));

        QFile::remove(target + ".bak");
        QVERIFY(QFile::copy(target, target + ".bak"));
        const QString changed = writeFile(dir, "b.json", wholeFile(R"("events": {"test":
            {"enabled": false, "message": "other"}}, "phones": {"numbers": []})"));
        const qsizetype beforeCheck = sim2.log().size();
        const CliRun check = runCli(
            {"apply", changed, "--check", "--device", sim2.devicePath(), "--json", kFastWait});
        QCOMPARE(check.exitCode, 0);
        QCOMPARE(check.json().value("changed").toBool(), true);
        QCOMPARE(check.json().value("check_mode").toBool(), true);
        QCOMPARE(check.json().value("changes").toArray().size(), 3);
        QVERIFY(!sim2.log().mid(beforeCheck).contains('&'));
        QCOMPARE(stateOf(target), stateOf(target + ".bak"));
    }

    // A file that manages only the phones never reads or writes a text or the mask, and
    // writes data before the count.
    void partialFileTouchesOnlyWhatItManages()
    {
        SimProcess sim;
        QVERIFY(sim.start());
        QTemporaryDir dir;
        const QString file =
            writeFile(dir, "p.json",
                      wholeFile(R"("phones": {"numbers": ["9800000000"], "test": "9899999999"})"));
        QCOMPARE(runCli({"apply", file, "--device", sim.devicePath(), kFastWait}).exitCode, 0);
        const QByteArrayList commands = commandsIn(sim.log());
        const QByteArrayList expected = {
            "?", "?N", "?P0", "?P:", "&P09800000000", "&P:9899999999", "&N1", "?P0", "?P:", "?N"};
        QCOMPARE(commands, expected);
    }

    void invalidFilesSendNothing_data() { addInvalidFileRows(); }
    void invalidFilesSendNothing()
    {
        QFETCH(QByteArray, text);
        QFETCH(QString, problem);
        SimProcess sim;
        QVERIFY(sim.start());
        QTemporaryDir dir;
        const CliRun run =
            runCli({"apply", writeFile(dir, "bad.json", text), "--device", sim.devicePath()});
        QCOMPARE(run.exitCode, 65);
        QVERIFY2(QString::fromUtf8(run.err).contains(problem), run.err.constData());
        QCOMPARE(sim.log(), QByteArray());
    }

    void failuresHaveTheirExitCodes()
    {
        QTemporaryDir dir;
        const QString example = QStringLiteral(TARVEX_EXAMPLE_CONFIG);
        SimProcess silent({"--silent"});
        QVERIFY(silent.start());
        QCOMPARE(runCli({"read", "--device", silent.devicePath(), kFastWait}).exitCode, 69);
        QCOMPARE(runCli({"scan", "--port", "1=" + dir.filePath("none"), kFastWait}).exitCode, 69);
        QCOMPARE(runCli({"apply", dir.filePath("missing.json"), "--device", silent.devicePath()})
                     .exitCode,
                 66);

        SimProcess dropping({"--hangup-after", "6"});
        QVERIFY(dropping.start());
        const CliRun dropped =
            runCli({"apply", example, "--device", dropping.devicePath(), "--json", kFastWait});
        QCOMPARE(dropped.exitCode, 74);
        QCOMPARE(dropped.json().value("ok").toBool(), false);
        QCOMPARE(dropped.json().value("verified").toBool(), false);
        QCOMPARE(dropped.json().value("error").toObject().value("kind").toString(), "lost-line");

        SimProcess deaf({"--ignore-writes"});
        QVERIFY(deaf.start());
        const CliRun ignored = runCli({"apply", example, "--device", deaf.devicePath(), kFastWait});
        QCOMPARE(ignored.exitCode, 3);
        QVERIFY2(ignored.err.contains("phones.numbers[0]"), ignored.err.constData());
        QCOMPARE(commandsIn(deaf.log()).count("&P09800000000"), 2); // written, then once more

        SimProcess held;
        QVERIFY(held.start());
        QSerialPort holder(held.devicePath());
        QVERIFY(holder.open(QIODevice::ReadWrite));
        QCOMPARE(runCli({"read", "--device", held.devicePath(), kFastWait}).exitCode, 75);
        holder.close();

        const QString output = dir.filePath("no/such/folder/a.json");
        QCOMPARE(runCli({"read", "--device", held.devicePath(), "-o", output}).exitCode, 73);
        QVERIFY(!QFile::exists(output));
        QCOMPARE(held.log(), QByteArray());
    }

    // A device the system refuses ends a scan that found nothing as it ends a read.
    void aRefusedDeviceIsNamed_data()
    {
        QTest::addColumn<QString>("command");
        QTest::newRow("read") << "read";
        QTest::newRow("scan") << "scan";
    }
    void aRefusedDeviceIsNamed()
    {
        QFETCH(QString, command);
        SimProcess refused;
        QVERIFY(refused.start());
        QCOMPARE(::chmod(QFile::encodeName(refused.devicePath()).constData(), 0), 0);
        const CliRun run =
            runCliAsNobody({command, "--port", "1=" + refused.devicePath(), kFastWait});
        QCOMPARE(run.exitCode, 77);
        QVERIFY2(run.err.contains(refused.devicePath().toUtf8()), run.err.constData());
    }

    // With no unit named, a run that finds two does nothing and says which.
    void severalUnitsAreListedNotGuessed()
    {
        SimProcess unit1, unit2({"--id", "KTX-222"}), silent({"--silent"});
        QVERIFY(unit1.start() && unit2.start() && silent.start());
        const QStringList ports = {
            "--port", "2=" + unit2.devicePath(), "--port", "1=" + silent.devicePath(),
            "--port", "7=" + unit1.devicePath(), "--port", "3=/dev/tarvex-none"};
        const CliRun scan = runCli(QStringList{"scan", "--json", kFastWait} + ports);
        QCOMPARE(scan.exitCode, 0);
        const QJsonArray units = scan.json().value("units").toArray();
        QCOMPARE(units.size(), 2);
        QCOMPARE(units.at(0).toObject().value("port").toInt(), 2);
        QCOMPARE(units.at(0).toObject().value("identity").toString(), "KTX-222");
        QCOMPARE(units.at(1).toObject().value("device").toString(), unit1.devicePath());

        const CliRun read = runCli(QStringList{"read", kFastWait} + ports);
        QCOMPARE(read.exitCode, 64);
        QVERIFY(read.err.contains(unit1.devicePath().toUtf8()) &&
                read.err.contains(unit2.devicePath().toUtf8()));
        QCOMPARE(commandsIn(unit1.log()), QByteArrayList({"?", "?"})); // scan, then read
    }

    // Ctrl-C ends the run after the exchange in flight, and the output file never appears.
    void interruptionLeavesNoOutput()
    {
        SimProcess sim;
        QVERIFY(sim.start());
        QTemporaryDir dir;
        const QString output = dir.filePath("a.json");
        QProcess cli;
        startCli(cli, {"read", "--device", sim.devicePath(), "-o", output});
        QVERIFY(cli.waitForStarted());
        QTRY_VERIFY_WITH_TIMEOUT(sim.log().count('\r') >= 3, 10000);
        ::kill(pid_t(cli.processId()), SIGINT);
        QVERIFY(cli.waitForFinished(10000));
        QCOMPARE(cli.exitCode(), 130);
        QVERIFY(!QFile::exists(output));
        QCOMPARE(QDir(dir.path()).entryList(QDir::Files | QDir::Hidden), QStringList());
    }

    // read exports what the unit holds even where the file format would refuse it, and says
    // which field; apply refuses that file.
    void readExportsWhatTheFormatRefuses()
    {
        QTemporaryDir dir;
        SimProcess sim(
            {"--state", writeFile(dir, "s.json", R"({"count": 1, "phones": ["12345"]})")});
        QVERIFY(sim.start());
        const QString file = dir.filePath("odd.json");
        const CliRun read =
            runCli({"read", "--no-messages", "--device", sim.devicePath(), "-o", file, kFastWait});
        QCOMPARE(read.exitCode, 0);
        QVERIFY2(read.err.contains("phones.numbers[0]"), read.err.constData());
        const CliRun apply = runCli({"apply", file, "--device", sim.devicePath(), "--json"});
        QCOMPARE(apply.exitCode, 65);
        QCOMPARE(apply.json().value("error").toObject().value("kind").toString(), "invalid-file");
        const CliRun usage = runCli({"apply", "--json"});
        QCOMPARE(usage.exitCode, 64);
        QCOMPARE(usage.json().value("error").toObject().value("kind").toString(), "usage");
    }

    // An option of one command is refused with any other: exit 64, and the reason.
    void misplacedOptionsAreUsageErrors()
    {
        const QList<QStringList> rows = {
            {"scan -o x", "-o and --no-messages go with read"},
            {"diff f --no-messages", "-o and --no-messages go with read"},
            {"read --check", "--check goes with apply"},
            {"read --file f", "--file goes with message set"},
            {"diff f --loop", "--loop goes with apply"},
            {"apply f --report r", "--report and --count go with apply --loop"},
            {"apply f --count 2", "--report and --count go with apply --loop"},
            {"apply f --loop --check", "--loop writes; it does not go with --check"}};
        for (const QStringList& row : rows) {
            const CliRun run = runCli(row[0].split(u' '));
            QVERIFY2(run.exitCode == 64 && run.err.contains(row[1].toUtf8()), run.err.constData());
        }
    }

    // A write that fails is never "done": the old file stays as it was, no temporary file is
    // left, and exit 73 names the file and the system's reason. So for lost output on stdout
    // (/dev/full, closed) and in the trace.
    void lostOutputIsNeverDone()
    {
        SimProcess sim;
        QVERIFY(sim.start());
        QTemporaryDir dir;
        const QString backup = writeFile(dir, "backup.json", "last week's backup\n");
        const QStringList read = {"read", "--no-messages", "--device", sim.devicePath(), kFastWait};
        const CliRun full = runCli(read + QStringList{"-o", backup}, fillDiskAfter100Bytes);
        QCOMPARE(full.exitCode, 73);
        QVERIFY2(full.err.contains(backup.toUtf8()) && full.err.contains("File too large"),
                 full.err.constData());
        QCOMPARE(contentOf(backup), QByteArray("last week's backup\n"));
        QCOMPARE(QDir(dir.path()).entryList(QDir::Files | QDir::Hidden),
                 QStringList{"backup.json"});

        const auto stdoutToDevFull = [](QProcess& cli) { cli.setStandardOutputFile("/dev/full"); };
        QCOMPARE(runCli({"ports", "--json"}, stdoutToDevFull).exitCode, 73);
        const auto stdoutClosed = [](QProcess& cli) {
            cli.setChildProcessModifier([] { ::close(STDOUT_FILENO); });
        };
        const CliRun closed = runCli({"ports", "--json"}, stdoutClosed);
        QCOMPARE(closed.exitCode, 73);
        QVERIFY2(closed.err.contains("standard output is closed"), closed.err.constData());
        QCOMPARE(runCli(read + QStringList{"--trace", "/dev/full"}).exitCode, 73);
    }

    // A target that is no regular file (here a FIFO) is written to, never replaced by a file.
    void aTargetThatIsNoFileIsWrittenNotReplaced()
    {
        SimProcess sim;
        QVERIFY(sim.start());
        QTemporaryDir dir;
        const QString fifo = makeFifo(dir.path(), "out");
        QFile reader;
        QVERIFY(reader.open(::open(QFile::encodeName(fifo).constData(), O_RDONLY | O_NONBLOCK),
                            QIODevice::ReadOnly, QFile::AutoCloseHandle));
        QCOMPARE(
            runCli({"read", "--no-messages", "--device", sim.devicePath(), "-o", fifo, kFastWait})
                .exitCode,
            0);
        QVERIFY(!QFileInfo(fifo).isFile());
        QVERIFY(reader.readAll().contains("\"format\": \"tarvex-config\""));
    }

    // Input is read up to a bound far above any real file: /dev/zero is refused (65) and
    // nothing is sent. "-" reads the file from standard input, as from a pipe.
    void inputIsBoundedAndMayBeStandardInput()
    {
        SimProcess sim;
        QVERIFY(sim.start());
        QCOMPARE(runCli({"apply", "/dev/zero", "--device", sim.devicePath()}).exitCode, 65);
        const CliRun message =
            runCli({"message", "set", "test", "--file", "/dev/zero", "--device", sim.devicePath()});
        QCOMPARE(message.exitCode, 65);
        QVERIFY2(message.err.contains("larger than 1048576 bytes"), message.err.constData());
        QCOMPARE(sim.log(), QByteArray());

        QProcess diff;
        startCli(diff, {"diff", "-", "--device", sim.devicePath(), kFastWait});
        diff.write(contentOf(QStringLiteral(TARVEX_EXAMPLE_CONFIG)));
        diff.closeWriteChannel();
        const CliRun fromPipe = finishCli(diff);
        QCOMPARE(fromPipe.exitCode, 2);
        QVERIFY2(fromPipe.out.contains("phones.numbers[0]"), fromPipe.out.constData());
    }

    // Ctrl-C, SIGTERM and SIGHUP end a wait for a FIFO's other end: exit 130, one document.
    void signalsEndAWaitForAFile_data()
    {
        QTest::addColumn<QStringList>("arguments"); // FIFO stands for the FIFO's path
        QTest::addColumn<int>("signal");
        QTest::newRow("configuration without a writer")
            << QStringList{"apply", "FIFO"} << int(SIGINT);
        QTest::newRow("trace without a reader")
            << QStringList{"read", "--trace", "FIFO"} << int(SIGTERM);
        QTest::newRow("message file, terminal closed")
            << QStringList{"message", "set", "test", "--file", "FIFO"} << int(SIGHUP);
    }
    void signalsEndAWaitForAFile()
    {
        QFETCH(QStringList, arguments);
        QFETCH(int, signal);
        SimProcess sim;
        QVERIFY(sim.start());
        QTemporaryDir dir;
        arguments.replaceInStrings("FIFO", makeFifo(dir.path(), "fifo"));
        QProcess cli;
        startCli(cli, arguments + QStringList{"--device", sim.devicePath(), "--json"});
        QVERIFY(cli.waitForStarted());
        QTest::qWait(700); // blocked in the open by now
        ::kill(pid_t(cli.processId()), signal);
        QVERIFY(cli.waitForFinished(10000));
        QCOMPARE(cli.exitCode(), 130);
        const QJsonObject result = QJsonDocument::fromJson(cli.readAllStandardOutput()).object();
        QCOMPARE(result.value("error").toObject().value("kind").toString(), "interrupted");
        QCOMPARE(sim.log(), QByteArray());
    }

    // Interrupted among the writes, "changes" lists what the unit took, "not_sent" the rest.
    void interruptedApplyListsOnlyWhatWasWritten()
    {
        SimProcess sim;
        QVERIFY(sim.start());
        QProcess cli;
        startCli(cli, {"apply", QStringLiteral(TARVEX_EXAMPLE_CONFIG), "--device", sim.devicePath(),
                       "--json", kFastWait});
        QTRY_VERIFY_WITH_TIMEOUT(sim.log().contains('&'), 10000);
        ::kill(pid_t(cli.processId()), SIGINT);
        const CliRun run = finishCli(cli);
        QCOMPARE(run.exitCode, 130);
        const QByteArrayList commands = commandsIn(sim.log());
        const auto writes =
            std::count_if(commands.begin(), commands.end(),
                          [](const QByteArray& line) { return line.startsWith('&'); });
        QCOMPARE(run.json().value("changes").toArray().size(), writes);
        QVERIFY(!run.json().value("not_sent").toArray().isEmpty());
    }

    // The line goes right after the second write: its answer kept when it came before the
    // close, the write "unconfirmed" when it never came; never "not_sent", and "changed"
    // either way, since the unit holds the number.
    void aLineCutAfterAWriteListsItWhereItStands_data()
    {
        QTest::addColumn<QString>("mode");
        QTest::addColumn<QStringList>("changes");
        QTest::addColumn<QStringList>("unconfirmed");
        QTest::addColumn<bool>("readFailed"); // what the trace says of the second write
        const QStringList both{"phones.numbers[0]", "phones.numbers[1]"};
        QTest::newRow("answered, then closed")
            << "--hangup-after" << both << QStringList() << false;
        QTest::newRow("closed before the answer")
            << "--cut-after" << both.mid(0, 1) << both.mid(1) << true;
    }
    void aLineCutAfterAWriteListsItWhereItStands()
    {
        QFETCH(QString, mode);
        QFETCH(QStringList, changes);
        QFETCH(QStringList, unconfirmed);
        QFETCH(bool, readFailed);
        QTemporaryDir dir;
        const QString state = dir.filePath("unit.json");
        SimProcess sim({mode, "14", "--state", state}); // identify, 11 reads, then the writes
        QVERIFY(sim.start());
        const QString trace = dir.filePath("trace");
        const CliRun run = runCli({"apply", QStringLiteral(TARVEX_EXAMPLE_CONFIG), "--device",
                                   sim.devicePath(), "--json", "--trace", trace, kFastWait});
        QCOMPARE(run.exitCode, 74);
        const auto paths = [&](const char* key) {
            QStringList list;
            for (const QJsonValue& change : run.json().value(key).toArray())
                list << change.toObject().value("path").toString();
            return list;
        };
        QCOMPARE(paths("changes"), changes);
        QCOMPARE(paths("unconfirmed"), unconfirmed);
        QVERIFY(!paths("not_sent").contains("phones.numbers[1]"));
        QVERIFY(run.json().value("changed").toBool());
        QCOMPARE(stateOf(state).value("phones").toArray().at(1).toString(), "9811111111");
        const QByteArray traced = contentOf(trace);
        const QByteArray second = traced.mid(traced.indexOf("&P19811111111"));
        QCOMPARE(second.left(second.indexOf('\n')).contains("read failed"), readFailed);
    }

    // Our programs claim the device itself: a second one is refused (75) whatever name it
    // uses, root or not.
    void aDeviceHeldUnderAnotherNameIsBusy()
    {
        SimProcess sim;
        QVERIFY(sim.start());
        QTemporaryDir dir;
        const QString alias = dir.filePath("by-id");
        QVERIFY(QFile::link(sim.devicePath(), alias));
        tarvex::link::LinePort holder(tarvex::link::PortMap::pinned(
            {{1, tarvex::link::DeviceName::serial(sim.devicePath())}}));
        QVERIFY(holder.SetOpen(true));
        QCOMPARE(runCli({"read", "--device", alias, kFastWait}).exitCode, 75);
        QCOMPARE(sim.log(), QByteArray());
    }

    // Reads are strict: a cut-off mask or a count that is no slot is a bad reply (exit 1),
    // never a value.
    void cutOffRepliesAreBadReplies_data()
    {
        QTest::addColumn<QByteArray>("command");
        QTest::addColumn<QByteArray>("reply");
        QTest::newRow("mask of three flags") << QByteArray("?E") << QByteArray("E101\r");
        QTest::newRow("count that is a letter") << QByteArray("?N") << QByteArray("NX\r");
    }
    void cutOffRepliesAreBadReplies()
    {
        QFETCH(QByteArray, command);
        QFETCH(QByteArray, reply);
        ScriptedUnit unit;
        QVERIFY(unit.start());
        unit.answer("?", "KTX-210\r");
        unit.answer("?N", "N3\r");
        unit.answer("?E", "E10100001\r");
        for (const char slot : QByteArray("0123456789:"))
            unit.answer(QByteArray("?P") + slot, QByteArray("P") + slot + "0123456789\r");
        unit.answer(command, reply);
        const CliRun run =
            runCli({"read", "--no-messages", "--json", "--device", unit.devicePath(), kFastWait});
        QCOMPARE(run.exitCode, 1);
        QCOMPARE(run.json().value("error").toObject().value("kind").toString(), "bad-reply");
    }

    // A long message reply that starts late is cut by the 200 ms wait, and its rest comes at the
    // front of the next reply: the read fails, and never keeps the pieces as texts.
    void aMessageCutByTheWaitIsABadReply()
    {
        QTemporaryDir dir;
        QJsonObject state = QJsonDocument::fromJson(kFieldUnit).object();
        QJsonArray messages = state.value("messages").toArray();
        messages[0] = QString("Power 1 is off, the site runs on battery only: please check at once")
                          .leftJustified(80, u'.');
        state["messages"] = messages;
        const QString path = writeFile(dir, "unit.json", QJsonDocument(state).toJson());
        SimProcess sim({"--state", path, "--delay", "150", "--paced"});
        QVERIFY(sim.start());
        const CliRun run = runCli({"read", "--json", "--device", sim.devicePath()});
        QCOMPARE(run.exitCode, 1);
        QCOMPARE(run.json().value("error").toObject().value("kind").toString(), "bad-reply");
    }

    void messageSetAndGetRoundTrip()
    {
        SimProcess sim;
        QVERIFY(sim.start());
        const QString text = QString::fromLatin1("Netz 2 aus\npr\xfc"
                                                 "fen");
        QCOMPARE(runCli({"message", "set", "power2_on_to_off", text, "--device", sim.devicePath(),
                         kFastWait})
                     .exitCode,
                 0);
        const CliRun get =
            runCli({"message", "get", "power2_on_to_off", "--device", sim.devicePath(), kFastWait});
        QCOMPARE(get.exitCode, 0);
        QCOMPARE(QString::fromUtf8(get.out), text + u'\n');
    }
};

QTEST_GUILESS_MAIN(TestCli)
#include "tst_cli.moc"
