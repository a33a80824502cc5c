// tarvex-sim as the separate program that the other suites and a developer start.

#include "pty_client.h"
#include "sim_tests.h"
#include "support/sim_process.h"

#include <QFile>
#include <QFileInfo>
#include <QJsonArray>
#include <QProcess>
#include <QTemporaryDir>
#include <QTest>

#include <csignal>
#include <sys/stat.h>

using namespace tarvex::sim;

namespace {

constexpr int kPatienceMs = 10000;

// tarvex-sim started directly, for what SimProcess does not show: output, exit codes, signals.
struct Run
{
    QProcess process;

    explicit Run(const QStringList& arguments)
    {
        process.start(SimProcess::executable(), arguments);
    }
    ~Run()
    {
        if (process.state() != QProcess::NotRunning) {
            process.kill();
            process.waitForFinished(kPatienceMs);
        }
    }
    QString firstLine()
    {
        while (!process.canReadLine() && process.waitForReadyRead(kPatienceMs)) {
        }
        return QString::fromLocal8Bit(process.readLine()).trimmed();
    }
    bool finishedWith(int exitCode)
    {
        // It may have ended already, while a test waited in the event loop.
        const bool ended =
            process.state() == QProcess::NotRunning || process.waitForFinished(kPatienceMs);
        return ended && process.exitStatus() == QProcess::NormalExit &&
               process.exitCode() == exitCode;
    }
};

} // namespace

class TestSimProgram : public QObject
{
    Q_OBJECT
private slots:
    void printsTheDevicePathAndAnswers()
    {
        SimProcess sim;
        QVERIFY(sim.start());
        QVERIFY2(sim.devicePath().startsWith("/dev/pts/"), qPrintable(sim.devicePath()));
        PtyClient client(sim.devicePath());
        QVERIFY(client.isOpen());
        QCOMPARE(client.exchange("?\r", kIdentityReply), kIdentityReply);
        QCOMPARE(client.exchange("?N\r", "N0\r"), QByteArray("N0\r"));
    }

    void logHoldsTheExactBytesReceived()
    {
        SimProcess sim;
        QVERIFY(sim.start());
        QCOMPARE(sim.log(), QByteArray());
        PtyClient client(sim.devicePath());
        const QByteArray message = "&M7Mains\r\nlost \xE9t\xE9" + kEnd;
        QCOMPARE(client.exchange(message, kOk), kOk);
        QCOMPARE(client.exchange("&P:5550001111\r", kOk), kOk);
        QCOMPARE(client.exchange("\n?\r", "ERR\r"), QByteArray("ERR\r"));
        QCOMPARE(sim.log(), message + "&P:5550001111\r\n?\r"); // written before each answer
    }

    void aRestartedUnitRemembers()
    {
        QTemporaryDir dir;
        QVERIFY(dir.isValid());
        const QString state = dir.filePath("unit.json");
        const QList<std::pair<QByteArray, QByteArray>> readBack{
            {"?N\r", "N:\r"},
            {"?E\r", "E10000001\r"},
            {"?P9\r", "P90123456789\r"},
            {"?P:\r", "P:5550001111\r"},
            {"?M7\r", "M7Test\r\nmessage" + kEnd},
        };
        {
            SimProcess sim({"--state", state});
            QVERIFY(sim.start());
            PtyClient client(sim.devicePath());
            for (const QByteArray& write :
                 {QByteArray("&N:\r"), QByteArray("&E10000001\r"), QByteArray("&P90123456789\r"),
                  QByteArray("&P:5550001111\r"), "&M7Test\r\nmessage" + kEnd})
                QCOMPARE(client.exchange(write, kOk), kOk);
            sim.stop();
        }

        UnitMemory expected;
        expected.phoneCount = 10;
        expected.eventMask = "10000001";
        expected.phones[9] = "0123456789";
        expected.phones[kTestPhoneSlot] = "5550001111";
        expected.messages[7] = "Test\r\nmessage";
        QString error;
        QCOMPARE(loadMemory(state, &error), std::optional<UnitMemory>(expected));

        SimProcess restarted({"--state", state});
        QVERIFY(restarted.start());
        PtyClient client(restarted.devicePath());
        for (const auto& [command, reply] : readBack)
            QCOMPARE(client.exchange(command, reply), reply);
    }

    void idOptionNamesTheUnit()
    {
        SimProcess sim({"--id", "KTX-999 Spare"});
        QVERIFY(sim.start());
        PtyClient client(sim.devicePath());
        QCOMPARE(client.exchange("?\r", "KTX-999 Spare\r"), QByteArray("KTX-999 Spare\r"));
    }

    void signalsEndItCleanly_data()
    {
        QTest::addColumn<int>("signal");
        QTest::newRow("SIGTERM") << int(SIGTERM);
        QTest::newRow("SIGINT") << int(SIGINT);
        QTest::newRow("SIGHUP") << int(SIGHUP);
    }

    void signalsEndItCleanly()
    {
        QFETCH(int, signal);
        QTemporaryDir dir;
        QVERIFY(dir.isValid());
        const QString link = dir.filePath("ttyTarvex");

        Run run({"--link", link});
        const QString device = run.firstLine();
        QVERIFY2(device.startsWith("/dev/pts/"), qPrintable(device));
        QCOMPARE(QFileInfo(link).symLinkTarget(), device);
        PtyClient client(link);
        QCOMPARE(client.exchange("?\r", kIdentityReply), kIdentityReply);

        ::kill(pid_t(run.process.processId()), signal);
        QVERIFY(run.finishedWith(0));
        QVERIFY(!QFileInfo(link).isSymLink());
        QVERIFY(client.waitForHangup());
        QCOMPARE(run.process.readAllStandardOutput(), QByteArray()); // the path alone, once
    }

    void hangupAfterEndsTheProgram()
    {
        QTemporaryDir dir;
        QVERIFY(dir.isValid());
        Run run({"--hangup-after", "2", "--log", dir.filePath("sim.log")});
        PtyClient client(run.firstLine());
        QVERIFY(client.isOpen());
        QCOMPARE(client.exchange("?\r", kIdentityReply), kIdentityReply);
        QCOMPARE(client.exchange("?N\r", "N0\r"), QByteArray("N0\r"));
        QVERIFY(client.waitForHangup(kPatienceMs));
        QVERIFY(run.finishedWith(0));
        QFile log(dir.filePath("sim.log"));
        QVERIFY(log.open(QIODevice::ReadOnly));
        QCOMPARE(log.readAll(), QByteArray("?\r?N\r"));
    }

    void helpDescribesEveryOption()
    {
        Run run({"--help"});
        QVERIFY(run.finishedWith(0));
        const QString help = QString::fromLocal8Bit(run.process.readAllStandardOutput());
        for (const char* option :
             {"--id", "--link", "--state", "--log", "--silent", "--delay", "--paced", "--echo",
              "--garbage", "--hangup-after", "--cut-after", "--help", "--version"})
            QVERIFY2(help.contains(QLatin1String(option)), option);
    }

    void badArgumentsAreRefused_data()
    {
        QTest::addColumn<QStringList>("arguments");
        QTest::newRow("negative delay") << QStringList{"--delay", "-5"};
        QTest::newRow("unknown option") << QStringList{"--bogus"};
        QTest::newRow("help with an error") << QStringList{"--help", "--delay", "x"};
    }

    void badArgumentsAreRefused()
    {
        QFETCH(QStringList, arguments);
        Run run(arguments);
        QVERIFY(run.finishedWith(2));
        QCOMPARE(run.process.readAllStandardOutput(), QByteArray());
        QVERIFY(run.process.readAllStandardError().startsWith("tarvex-sim: "));
    }

    void anUnusableFileIsReported_data()
    {
        QTest::addColumn<QString>("option");
        QTest::addColumn<QByteArray>("contents"); // of a regular file; empty for a FIFO
        QTest::addColumn<QString>("mentions");

        QTest::newRow("count out of range")
            << "--state" << QByteArray("{\"count\": 12}") << "count";
        QTest::newRow("an array") << "--state" << QByteArray("[{\"count\": 1}]") << "JSON array";
        QTest::newRow("broken JSON")
            << "--state" << QByteArray("{ \"count\": ") << "not valid JSON";
        QTest::newRow("state on a FIFO") << "--state" << QByteArray() << "not a regular file";
        QTest::newRow("log on a FIFO") << "--log" << QByteArray() << "not a regular file";
    }

    // Reported at once: a FIFO, which nobody writes, must not hold the simulator before it serves.

    void anUnusableFileIsReported()
    {
        QFETCH(QString, option);
        QFETCH(QByteArray, contents);
        QFETCH(QString, mentions);
        QTemporaryDir dir;
        QVERIFY(dir.isValid());
        const QString path = dir.filePath("given");
        if (contents.isEmpty()) {
            QCOMPARE(::mkfifo(QFile::encodeName(path).constData(), 0600), 0);
        } else {
            QFile file(path);
            QVERIFY(file.open(QIODevice::WriteOnly));
            file.write(contents);
        }

        Run run({option, path});
        QVERIFY(run.finishedWith(1));
        QCOMPARE(run.process.readAllStandardOutput(), QByteArray());
        const QString error = QString::fromLocal8Bit(run.process.readAllStandardError());
        QVERIFY2(error.contains(path) && error.contains(mentions), qPrintable(error));
    }
};

std::unique_ptr<QObject> makeSimProgramTests()
{
    return std::make_unique<TestSimProgram>();
}

#include "sim_program_tests.moc"
