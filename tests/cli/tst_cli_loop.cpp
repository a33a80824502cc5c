#include "cli_run.h"
#include "support/sim_process.h"

#include <QFile>
#include <QJsonDocument>
#include <QJsonObject>
#include <QTemporaryDir>
#include <QTest>

#include <csignal>
#include <memory>
#include <sys/stat.h>
#include <unistd.h>

namespace {

QList<QJsonObject> reportLines(const QString& path)
{
    QFile file(path);
    QList<QJsonObject> lines;
    if (!file.open(QIODevice::ReadOnly))
        return lines;
    for (const QByteArray& line : file.readAll().split('\n')) {
        if (!line.isEmpty())
            lines << QJsonDocument::fromJson(line).object();
    }
    return lines;
}

// The last line a loop printed: with --json, its summary document.
QJsonObject summaryOf(const QByteArray& output)
{
    return QJsonDocument::fromJson(output.trimmed().split('\n').last()).object();
}

QString stateText(const QString& path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? QString::fromUtf8(file.readAll()) : QString();
}

// A bench: units plugged in one after another on the same link path while the loop runs.
class Bench
{
public:
    explicit Bench(const QStringList& loopOptions, const QString& report = {})
    {
        startCli(loop_, QStringList{"apply", QStringLiteral(TARVEX_EXAMPLE_CONFIG), "--loop",
                                    "--device", link(), "--report",
                                    report.isEmpty() ? reportPath() : report, "--reply-wait=150"} +
                            loopOptions);
    }

    QString link() const { return dir_.filePath("unit"); }
    QString reportPath() const { return dir_.filePath("report.jsonl"); }
    QString statePath(int unit) const
    {
        return dir_.filePath(QStringLiteral("s%1.json").arg(unit));
    }
    QProcess& loop() { return loop_; }

    // Plugs unit n in (the n-th unit of the bench) and waits for the loop's line about it.
    bool plugIn(int unit, const QStringList& faults = {})
    {
        if (!startUnit(unit, faults))
            return false;
        // One line per unit, as text or as a JSON document.
        return QTest::qWaitFor(
            [&] { return output_.append(loop_.readAllStandardOutput()).count('\n') >= unit; },
            20000);
    }

    // Plugs unit n in without waiting for the loop.
    bool startUnit(int unit, const QStringList& faults = {})
    {
        sim_ = std::make_unique<SimProcess>(
            QStringList{"--link", link(), "--state", statePath(unit), "--id",
                        QStringLiteral("KTX-%1").arg(unit, 3, 10, QChar(u'0'))} +
            faults);
        return sim_->start();
    }

    void unplug() { sim_.reset(); }
    void interrupt() { ::kill(pid_t(loop_.processId()), SIGINT); }

    bool finished()
    {
        return loop_.state() == QProcess::NotRunning || loop_.waitForFinished(20000);
    }
    SimProcess& sim() { return *sim_; }
    const QByteArray& output() const { return output_; }

private:
    QTemporaryDir dir_;
    QProcess loop_;
    std::unique_ptr<SimProcess> sim_;
    QByteArray output_;
};

} // namespace

class TestCliLoop : public QObject
{
    Q_OBJECT

private slots:
    // Three units in turn: each provisioned exactly once, a unit left plugged in is not done
    // twice, a failing unit gets its line and the loop goes on; the exit code and summary
    // name the failure.
    void provisionsUnitAfterUnit()
    {
        Bench bench({"--count", "3"});
        QVERIFY(bench.plugIn(1));
        const qsizetype logged = bench.sim().log().size();
        QTest::qWait(1500); // left plugged in: probed, never written again
        QVERIFY(!bench.sim().log().mid(logged).contains('&'));
        bench.unplug();
        QVERIFY(bench.plugIn(2, {"--hangup-after", "8"}));
        bench.unplug();
        QVERIFY(bench.plugIn(3));
        QVERIFY(bench.finished());
        const QByteArray output = bench.output() + bench.loop().readAllStandardOutput();

        QCOMPARE(bench.loop().exitCode(), 74);
        QVERIFY2(output.contains("unit 2  KTX-002  FAILED, exit 74"), output.constData());
        QVERIFY2(output.contains(
                     "units: 3 done, 2 written, 1 failed; failed: unit 2 (KTX-002, exit 74)"),
                 output.constData());
        const QList<QJsonObject> report = reportLines(bench.reportPath());
        QCOMPARE(report.size(), 3);
        QStringList identities, results;
        for (const QJsonObject& line : report) {
            identities << line.value("identity").toString();
            results << line.value("result").toString();
        }
        QCOMPARE(identities, QStringList({"KTX-001", "KTX-002", "KTX-003"}));
        QCOMPARE(results, QStringList({"ok", "failed", "ok"}));
        QVERIFY(stateText(bench.statePath(1)).contains("Weekly test\\r\\nfrom site 12"));
        QCOMPARE(stateText(bench.statePath(3)), stateText(bench.statePath(1)));
    }

    void countStopsTheLoop()
    {
        Bench bench({"--count", "2", "--json"});
        QVERIFY(bench.plugIn(1));
        bench.unplug();
        QVERIFY(bench.plugIn(2));
        QVERIFY(bench.finished());
        QCOMPARE(bench.loop().exitCode(), 0);
        const QByteArray output = bench.output() + bench.loop().readAllStandardOutput();
        const QByteArrayList lines = output.trimmed().split('\n');
        QCOMPARE(lines.size(), 3); // one result document per unit, then the summary
        QCOMPARE(QJsonDocument::fromJson(lines.at(1)).object().value("identity").toString(),
                 "KTX-002");
        QCOMPARE(summaryOf(output).value("units").toInt(), 2);
        QCOMPARE(summaryOf(output).value("failed").toInt(), 0);
    }

    // Ctrl-C during a unit lets that unit finish and be reported; then the loop ends (130)
    // with its summary.
    void ctrlCWaitsForTheUnitInProgress()
    {
        Bench bench({"--json"});
        QVERIFY(bench.startUnit(1));
        QTRY_VERIFY_WITH_TIMEOUT(bench.sim().log().contains('&'), 20000);
        bench.interrupt();
        QVERIFY(bench.finished());
        QCOMPARE(bench.loop().exitCode(), 130);
        const QByteArray output = bench.loop().readAllStandardOutput();
        QCOMPARE(QJsonDocument::fromJson(output.split('\n').first()).object().value("ok"), true);
        QCOMPARE(summaryOf(output).value("units").toInt(), 1);
        QVERIFY(stateText(bench.statePath(1)).contains("Weekly test\\r\\nfrom site 12"));
    }

    // A report line that cannot be written ends the loop after the unit in progress, naming
    // it: no unit is provisioned without its record.
    void aLostReportLineEndsTheLoop()
    {
        Bench bench({}, "/dev/full");
        QVERIFY(bench.plugIn(1));
        QVERIFY(bench.finished());
        QCOMPARE(bench.loop().exitCode(), 73);
        const QByteArray errors = bench.loop().readAllStandardError();
        QVERIFY2(errors.contains("the report line of unit 1 (KTX-001) could not be written to "
                                 "/dev/full: No space left on device"),
                 errors.constData());
    }

    // Every other ending has its summary document and exit code: no port named among several,
    // a report that cannot be opened, a port nobody may open, Ctrl-C with no unit.
    void everyEndingIsSummarised()
    {
        QTemporaryDir dir;
        const QStringList loop = {"apply", QStringLiteral(TARVEX_EXAMPLE_CONFIG), "--loop",
                                  "--json", "--reply-wait=150"};
        const CliRun twoPorts =
            runCli(loop + QStringList{"--port", "1=/dev/a", "--port", "2=/dev/b"});
        QCOMPARE(twoPorts.exitCode, 64);
        QCOMPARE(summaryOf(twoPorts.out).value("error").toObject().value("kind"), "usage");
        const CliRun noReport = runCli(
            loop + QStringList{"--device", dir.filePath("u"), "--report", dir.filePath("no/r")});
        QCOMPARE(noReport.exitCode, 73);
        QCOMPARE(summaryOf(noReport.out).value("exit_code").toInt(), 73);

        SimProcess refused;
        QVERIFY(refused.start());
        QCOMPARE(::chmod(QFile::encodeName(refused.devicePath()).constData(), 0), 0);
        const CliRun denied = runCliAsNobody(loop + QStringList{"--device", refused.devicePath()});
        QCOMPARE(denied.exitCode, 77);
        QCOMPARE(summaryOf(denied.out).value("error").toObject().value("kind"),
                 "permission-denied");

        QProcess waiting;
        startCli(waiting, loop + QStringList{"--device", dir.filePath("u")});
        QVERIFY(waiting.waitForStarted());
        QTest::qWait(700);
        ::kill(pid_t(waiting.processId()), SIGINT);
        const CliRun interrupted = finishCli(waiting);
        QCOMPARE(interrupted.exitCode, 130);
        QCOMPARE(summaryOf(interrupted.out).value("units").toInt(), 0);
        QCOMPARE(summaryOf(interrupted.out).value("summary"), true);
    }
};

QTEST_GUILESS_MAIN(TestCliLoop)
#include "tst_cli_loop.moc"
