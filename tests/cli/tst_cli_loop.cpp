#include "cli_run.h"
#include "support/sim_process.h"

#include <QFile>
#include <QJsonDocument>
#include <QJsonObject>
#include <QTemporaryDir>
#include <QTest>

#include <memory>

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

QString stateText(const QString& path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? QString::fromUtf8(file.readAll()) : QString();
}

// A bench: units plugged in one after another on the same link path while the loop runs.
class Bench
{
public:
    explicit Bench(const QStringList& loopOptions)
    {
        startCli(loop_,
                 QStringList{"apply", QStringLiteral(TARVEX_EXAMPLE_CONFIG), "--loop", "--device",
                             link(), "--report", reportPath(), "--reply-wait=150"} +
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
        sim_ = std::make_unique<SimProcess>(
            QStringList{"--link", link(), "--state", statePath(unit), "--id",
                        QStringLiteral("KTX-%1").arg(unit, 3, 10, QChar(u'0'))} +
            faults);
        if (!sim_->start())
            return false;
        // One line per unit, as text or as a JSON document.
        return QTest::qWaitFor(
            [&] { return output_.append(loop_.readAllStandardOutput()).count('\n') >= unit; },
            20000);
    }

    void unplug() { sim_.reset(); }

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
        QCOMPARE(lines.size(), 2); // one result document per unit
        QCOMPARE(QJsonDocument::fromJson(lines.last()).object().value("identity").toString(),
                 "KTX-002");
    }
};

QTEST_GUILESS_MAIN(TestCliLoop)
#include "tst_cli_loop.moc"
