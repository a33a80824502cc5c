// The File menu's flows against tarvex-sim: a backup, an apply and a comparison through the
// engine tarvex-cli uses, each checked against what the unit received (its --log).
#include "app/dialogs.h"
#include "app/main_window.h"
#include "flow_support.h"

#include <QAction>
#include <QApplication>
#include <QDate>
#include <QDir>
#include <QFileInfo>
#include <QProcess>
#include <QTemporaryDir>
#include <QTimer>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

using namespace flow;
using namespace tarvex::app;

namespace {

const QString kExample = QStringLiteral(TARVEX_EXAMPLE_CONFIG);

// A unit whose memory holds a phone count of two, the second number too short for the file.
const QByteArray kUnitWithShortNumber = R"({"count": 2, "mask": "10010001",
    "phones": ["9800000000", "98765", "0", "0", "0", "0", "0", "0", "0", "0", "9899999999"],
    "messages": ["On 1", "On 2", "Off 1", "Off 2", "", "", "", "Weekly"]})";

int runCli(const QStringList& arguments)
{
    QProcess cli;
    cli.start(qEnvironmentVariable("TARVEX_CLI"), arguments);
    return cli.waitForFinished(60000) ? cli.exitCode() : -1;
}

QByteArray contentsOf(const QString& path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

// The operator at the file flows' dialogs: picks path, presses Cancel in a progress once it
// shows cancelAtStep, and Write when pressWrite; remembers what was asked.
struct Operator : dialogs::Observer
{
    Operator() { dialogs::setObserver(this); }
    ~Operator() override { dialogs::setObserver(nullptr); }
    std::optional<QString> chooseFile(const dialogs::FileRequest& request) override
    {
        proposed = request.proposedPath;
        return path;
    }
    bool cancelAt(const dialogs::ProgressStep& step) override
    {
        return step.value == cancelAtStep && step.label.startsWith(cancelIn);
    }
    bool answer(const dialogs::DifferencesRequest& request) override
    {
        differences = request;
        return pressWrite;
    }

    QString path;
    int cancelAtStep = -1;
    QString cancelIn; // the progress whose label begins so; any when empty
    bool pressWrite = true;
    QString proposed;
    std::optional<dialogs::DifferencesRequest> differences;
};

// The main window connected to tarvex-sim on port 1, with the operator at its dialogs.
struct FlowBench : WindowBench<SimProcess>
{
    using WindowBench::WindowBench;
    QByteArray sentAfterScan() { return unit.log().mid(int(qstrlen("?\r"))); }

    Operator hands;
};

} // namespace

class TestFileFlows : public QObject
{
    Q_OBJECT
private slots:
    void initTestCase() { QApplication::setQuitOnLastWindowClosed(false); }

    // With the product's 200 ms: the backup holds exactly what tarvex-cli read -o writes, a
    // value the format refuses is kept and named afterwards, and the controls show the unit.
    void saveWritesWhatTheCommandLineReads()
    {
        QTemporaryDir dir;
        const QString state = dir.filePath("unit.json");
        QFile stateFile(state);
        QVERIFY(stateFile.open(QIODevice::WriteOnly) && stateFile.write(kUnitWithShortNumber) > 0);
        stateFile.close();
        FlowBench bench(QStringList{"--state", state});
        QVERIFY(bench.ready);
        bench.w->form().exchange().setReplyWait(tarvex::link::kReplyWait);
        bench.hands.path = dir.filePath("window"); // ".json" is added
        bench.w->actions().saveConfiguration->trigger();

        QCOMPARE(bench.hands.proposed.section(u'/', -1),
                 QStringLiteral("KTX-210 %1.json").arg(QDate::currentDate().toString(Qt::ISODate)));
        QCOMPARE(bench.seen.titles(), QStringList{"Save Unit Configuration"});
        QVERIFY(bench.seen.boxes.first().text.contains("Phone No.2: 5 characters"));
        QCOMPARE(bench.ui().cmbNumPhones->currentIndex(), 2);
        QCOMPARE(bench.ui().txtPhone[1]->text(), "98765");
        QVERIFY(bench.ui().Frame2->isEnabled()); // counts as an upload
        const QByteArray saved = contentsOf(dir.filePath("window.json"));

        bench.w.reset(); // frees the port for the command line
        const QString cliPath = dir.filePath("cli.json");
        QCOMPARE(runCli({"read", "--device", bench.unit.devicePath(), "-o", cliPath}), 0);
        QCOMPARE(saved, contentsOf(cliPath));
    }

    // Cancel in the progress stops after the exchange in flight, and no file is written.
    void cancelledSaveWritesNoFile()
    {
        QTemporaryDir dir;
        FlowBench bench;
        QVERIFY(bench.ready);
        bench.hands.path = dir.filePath("unit.json");
        bench.hands.cancelAtStep = 3;
        bench.w->actions().saveConfiguration->trigger();
        QCOMPARE(bench.sentAfterScan(), QByteArray("?N\r?E\r?P0\r"));
        QVERIFY(!QFile::exists(bench.hands.path));
        QVERIFY(bench.seen.boxes.isEmpty());
    }

    // Apply writes what differs and reads it back, line for line as tarvex-cli apply does;
    // then the unit holds the file, as apply and compare both say.
    void applyWritesOnlyTheDifferencesAsTheCommandLineDoes()
    {
        SimProcess cliUnit;
        QVERIFY(cliUnit.start());
        QCOMPARE(runCli({"apply", kExample, "--device", cliUnit.devicePath(), "--reply-wait=40"}),
                 0);
        FlowBench bench;
        QVERIFY(bench.ready);
        bench.hands.path = kExample;
        bench.w->actions().applyConfiguration->trigger();

        QVERIFY(bench.hands.differences && bench.hands.differences->offersWrite);
        QVERIFY(bench.hands.differences->note.isEmpty()); // the file names this unit
        QCOMPARE(bench.hands.differences->title, "Apply Configuration");
        QCOMPARE(bench.hands.differences->rows.first().item, "Phone No.1");
        QCOMPARE(bench.hands.differences->rows.first().inFile, "\"9800000000\"");
        QCOMPARE(bench.unit.log(), cliUnit.log());
        QCOMPARE(bench.seen.boxes.last().text, "Configuration written and verified.");
        QCOMPARE(bench.ui().cmbNumPhones->currentIndex(), 3);
        QCOMPARE(flagsShown(bench.ui()), "11110001");

        const QByteArray applied = bench.unit.log();
        bench.w->actions().applyConfiguration->trigger();
        bench.w->actions().compareWithFile->trigger();
        QCOMPARE(bench.seen.boxes.size(), 3);
        QCOMPARE(bench.seen.boxes[1].text, "The unit already holds this configuration.");
        QCOMPARE(bench.seen.boxes[2].text, "The unit holds exactly what the file says.");
        QVERIFY(!bench.unit.log().mid(applied.size()).contains('&'));
    }

    // The differences are shown, with a note that the file names another unit, and nothing is
    // written: Cancel pressed in apply's dialog, or compare's dialog, which has only Close
    // (answered here as if it offered Write).
    void theDifferencesDialogWritesOnlyOnWrite_data()
    {
        QTest::addColumn<bool>("compare");
        QTest::newRow("apply, Cancel") << false;
        QTest::newRow("compare, Close") << true;
    }
    void theDifferencesDialogWritesOnlyOnWrite()
    {
        QFETCH(bool, compare);
        FlowBench bench(QStringList{"--id", "KTX-999 Tarvex PSI"});
        QVERIFY(bench.ready);
        bench.hands.path = kExample;
        bench.hands.pressWrite = compare;
        (compare ? bench.w->actions().compareWithFile : bench.w->actions().applyConfiguration)
            ->trigger();
        QVERIFY(bench.hands.differences);
        QCOMPARE(bench.hands.differences->offersWrite, !compare);
        QCOMPARE(bench.hands.differences->note,
                 "The file was saved from unit \"KTX-210\"; this unit is \"KTX-999\".");
        QVERIFY(bench.seen.boxes.isEmpty());
        QVERIFY(!bench.unit.log().contains('&'));
    }

    // Every problem is named, and nothing at all is sent.
    void anInvalidFileSendsNothing()
    {
        QTemporaryDir dir;
        FlowBench bench;
        QVERIFY(bench.ready);
        bench.hands.path = dir.filePath("invalid.json");
        QFile invalid(bench.hands.path);
        QVERIFY(invalid.open(QIODevice::WriteOnly) &&
                invalid.write(R"({"format": "tarvex-config", "version": 1, "colour": 1,
                                  "phones": {"test": "12"}})") > 0);
        invalid.close();
        bench.w->actions().applyConfiguration->trigger();
        QCOMPARE(bench.seen.titles(), QStringList{"Apply Configuration"});
        QCOMPARE(bench.seen.boxes.first().icon, Icon::Exclamation);
        QVERIFY(bench.seen.boxes.first().text.contains("colour: unknown key\nphones.test: 2 "));
        QCOMPARE(bench.sentAfterScan(), QByteArray());
    }

    // A unit that acknowledges writes but keeps nothing is written twice, then named.
    void aUnitThatIgnoresWritesEndsInTheStillDifferBox()
    {
        FlowBench bench(QStringList{"--ignore-writes"});
        QVERIFY(bench.ready);
        bench.hands.path = kExample;
        bench.w->actions().applyConfiguration->trigger();
        QCOMPARE(bench.seen.titles(), QStringList{"Apply Configuration"});
        QCOMPARE(bench.seen.boxes.first().icon, Icon::Exclamation);
        QVERIFY(bench.seen.boxes.first().text.contains("Phone No.1: \"0000000000\""));
        QCOMPARE(bench.unit.log().count("&P09800000000"), 2);
    }

    // A write that Cancel or a lost line ends says what the unit took, what went out without
    // an answer and what it was never sent, and the controls show what it last gave; a lost
    // line is first the connection's own box.
    void aStoppedWriteNamesWhatWasWritten_data()
    {
        QTest::addColumn<QStringList>("mode");
        QTest::addColumn<int>("cancelAt");
        QTest::addColumn<QStringList>("titles");
        QTest::addColumn<QString>("testNumber"); // what the box says of it, from its label on
        QTest::addColumn<QString>("testShown");
        const QStringList lost{"Connection", "Apply Configuration"};
        const QString test = "Test Phone No.: \"0000000000\" \u2192 \"9899999999\"\n";
        QTest::newRow("Cancel") << QStringList() << 3 << QStringList{"Apply Configuration"}
                                << "Not sent:\nNo. of Phones: 0 \u2192 3\nTest Phone No."
                                << "0000000000";
        QTest::newRow("answered, then hang-up") << QStringList{"--hangup-after", "16"} << -1 << lost
                                                << test + "Not sent:\nNo. of Phones: 0 \u2192 3\n"
                                                << "9899999999";
        QTest::newRow("hang-up before the answer")
            << QStringList{"--cut-after", "16"} << -1 << lost
            << "Sent, not confirmed: the unit may hold it:\n" + test +
                   "Not sent:\nNo. of Phones: 0 \u2192 3\n"
            << "0000000000";
    }
    void aStoppedWriteNamesWhatWasWritten()
    {
        QFETCH(QStringList, mode);
        QFETCH(int, cancelAt);
        QFETCH(QStringList, titles);
        QFETCH(QString, testNumber);
        QFETCH(QString, testShown);
        FlowBench bench(mode);
        QVERIFY(bench.ready);
        bench.hands.path = kExample;
        bench.hands.cancelIn = "Writing";
        bench.hands.cancelAtStep = cancelAt;
        bench.w->actions().applyConfiguration->trigger();

        QCOMPARE(bench.seen.titles(), titles);
        const QString text = bench.seen.boxes.last().text;
        QVERIFY2(
            text.contains("Written:\nPhone No.1: \"0000000000\" \u2192 \"9800000000\"\n"
                          "Phone No.2: ") &&
                text.contains("Phone No.3: \"0000000000\" \u2192 \"+919822222\"\n" + testNumber),
            qPrintable(text));
        QCOMPARE(bench.ui().txtPhone[2]->text(), "+919822222");
        QCOMPARE(bench.ui().txtPhone[10]->text(), testShown);
        QCOMPARE(bench.ui().cmbNumPhones->currentIndex(), 0);
        QCOMPARE(bench.w->actions().applyConfiguration->isEnabled(), cancelAt >= 0);
    }

    // The target is opened before the unit is read: a folder that cannot be written costs no
    // exchange, and the next dialog does not start there.
    void anUnwritableFolderFailsAtOnceAndIsNotOfferedAgain()
    {
        QTemporaryDir dir;
        FlowBench bench;
        QVERIFY(bench.ready);
        bench.hands.path = dir.filePath("first.json");
        bench.w->actions().saveConfiguration->trigger();
        const QByteArray sentBefore = bench.unit.log();
        bench.hands.path = "/proc/tarvex-backup.json";
        bench.w->actions().saveConfiguration->trigger();
        QCOMPARE(bench.unit.log(), sentBefore);
        QCOMPARE(bench.seen.titles(), QStringList{"Save Unit Configuration"});
        QVERIFY(bench.seen.boxes.first().text.startsWith("cannot write /proc/tarvex-backup.json"));
        bench.hands.path.clear();
        bench.w->actions().saveConfiguration->trigger();
        QCOMPARE(QFileInfo(bench.hands.proposed).absolutePath(), QDir(dir.path()).absolutePath());
    }

    // A FIFO without its other end leaves the window alive: the wait for it ends by Cancel (a
    // file to apply) or by closing the window (a backup's target), and nothing is sent.
    void aFifoWaitEndsByCancelOrClose_data()
    {
        QTest::addColumn<bool>("save");
        QTest::newRow("apply, Cancel") << false;
        QTest::newRow("save, window closed") << true;
    }
    void aFifoWaitEndsByCancelOrClose()
    {
        QFETCH(bool, save);
        QTemporaryDir dir;
        const QByteArray fifo = dir.filePath("fifo.json").toLocal8Bit();
        QCOMPARE(mkfifo(fifo.constData(), 0600), 0);
        FlowBench bench;
        QVERIFY(bench.ready);
        bench.hands.path = QString::fromLocal8Bit(fifo);
        bench.hands.cancelIn = save ? "-" : "Opening";
        bench.hands.cancelAtStep = 0;
        if (save)
            QTimer::singleShot(100, bench.w.get(), &QWidget::close);
        (save ? bench.w->actions().saveConfiguration : bench.w->actions().applyConfiguration)
            ->trigger();
        QCOMPARE(bench.sentAfterScan(), QByteArray());
        QVERIFY(bench.seen.boxes.isEmpty());
        QCOMPARE(bench.w->isVisible(), !save);
        // The other end lets the abandoned open go, once it has begun.
        int other = -1;
        QTRY_VERIFY((other = ::open(fifo.constData(), (save ? O_RDONLY : O_WRONLY) | O_NONBLOCK)) >=
                    0);
        ::close(other);
    }
};

QTEST_MAIN(TestFileFlows)
#include "tst_file_flows.moc"
