#include "../cli/cli_run.h"
#include "link/line_port.h"
#include "link/link.h"
#include "link/link_errors.h"
#include "support/sim_process.h"
#include "support/terminal_server.h"

#include <QFile>
#include <QJsonArray>
#include <QRegularExpression>
#include <QSignalSpy>
#include <QStandardPaths>
#include <QTcpServer>
#include <QTcpSocket>
#include <QTest>

#include <csignal>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

namespace {

// Short enough to keep the suite quick, long enough for a loaded CI machine to answer.
const QString kFastWait = QStringLiteral("--reply-wait=150");
const QString kExample = QStringLiteral(TARVEX_EXAMPLE_CONFIG);

// A unit behind ser2net, both ready.
struct RemoteUnit
{
    explicit RemoteUnit(QStringList simArguments = {})
        : sim(std::move(simArguments)), server((sim.start(), sim.devicePath()))
    {}
    bool start() { return !sim.devicePath().isEmpty() && server.start(); }
    SimProcess sim;
    Ser2netProcess server;
};

// A listener that takes no connection: its queue is full, so a connect gets no answer.
class DeafListener
{
public:
    DeafListener()
    {
        listener_ = ::socket(AF_INET, SOCK_STREAM, 0);
        sockaddr_in address{};
        address.sin_family = AF_INET;
        address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        socklen_t size = sizeof address;
        ::bind(listener_, reinterpret_cast<sockaddr*>(&address), size);
        ::listen(listener_, 0);
        ::getsockname(listener_, reinterpret_cast<sockaddr*>(&address), &size);
        port_ = ntohs(address.sin_port);
        for (int& filler : fillers_) { // what the queue holds before it drops handshakes
            filler = ::socket(AF_INET, SOCK_STREAM | SOCK_NONBLOCK, 0);
            ::connect(filler, reinterpret_cast<sockaddr*>(&address), size);
        }
        QTest::qWait(100);
    }
    ~DeafListener()
    {
        for (const int filler : fillers_)
            ::close(filler);
        ::close(listener_);
    }
    QString address() const { return QStringLiteral("tcp://127.0.0.1:%1").arg(port_); }

private:
    int listener_ = -1;
    int fillers_[3] = {-1, -1, -1};
    quint16 port_ = 0;
};

// The largest line delay a trace shows, in milliseconds.
int lineDelayIn(const QString& tracePath)
{
    QFile trace(tracePath);
    if (!trace.open(QIODevice::ReadOnly))
        return -1;
    static const QRegularExpression delay(QStringLiteral("\\+ (\\d+) line delay"));
    int largest = -1;
    auto matches = delay.globalMatch(QString::fromUtf8(trace.readAll()));
    while (matches.hasNext())
        largest = std::max(largest, matches.next().captured(1).toInt());
    return largest;
}

} // namespace

// tarvex-cli and the link through Debian's ser2net on 127.0.0.1, in front of tarvex-sim.
class TestTerminalServer : public QObject
{
    Q_OBJECT
private slots:
    void initTestCase()
    {
        // CI installs ser2net: a machine without it fails here rather than passing untested.
        QVERIFY2(!QStandardPaths::findExecutable("ser2net", {"/usr/sbin", "/usr/bin"}).isEmpty(),
                 "ser2net is missing: sudo apt-get install ser2net");
    }

    void applyDiffAndReadInBothModes_data()
    {
        QTest::addColumn<bool>("rfc2217");
        QTest::newRow("rfc2217") << true;
        QTest::newRow("raw tcp") << false;
    }
    void applyDiffAndReadInBothModes()
    {
        QFETCH(bool, rfc2217);
        RemoteUnit unit;
        QVERIFY(unit.start());
        const QString address = rfc2217 ? unit.server.rfc2217Address() : unit.server.rawAddress();
        const CliRun apply = runCli({"apply", kExample, "--device", address, "--json", kFastWait});
        QVERIFY2(apply.exitCode == 0, apply.err.constData());
        QVERIFY(apply.json().value("verified").toBool());
        QVERIFY(!apply.json().value("changes").toArray().isEmpty());
        const CliRun diff = runCli({"diff", kExample, "--device", address, kFastWait});
        QVERIFY2(diff.exitCode == 0, diff.out + diff.err);
        const CliRun read = runCli({"read", "--device", address, kFastWait});
        QCOMPARE(read.exitCode, 0);
        QVERIFY(read.out.contains("Weekly test\\nfrom site 12"));
    }

    // 0xFF is Telnet's command byte: doubled going out, undoubled coming in.
    void aLatin1YRoundTripsOverRfc2217()
    {
        RemoteUnit unit;
        QVERIFY(unit.start());
        const QString address = unit.server.rfc2217Address();
        const QString text = QString::fromLatin1("Netz \xff aus");
        QCOMPARE(runCli({"message", "set", "test", text, "--device", address, kFastWait}).exitCode,
                 0);
        QVERIFY(unit.sim.log().contains(
            QByteArray("Netz \xff aus\0", 11))); // one 0xFF reached the unit
        const CliRun get = runCli({"message", "get", "test", "--device", address, kFastWait});
        QCOMPARE(get.exitCode, 0);
        QCOMPARE(QString::fromUtf8(get.out), text + u'\n');
    }

    // 150 ms each way: the round trip is measured at the open and every reply waited for.
    void aWideAreaDelayIsMeasuredAndWaitedFor()
    {
        RemoteUnit unit;
        QVERIFY(unit.start());
        DelayProxy wan(unit.server.rfc2217Port(), 150);
        QVERIFY(wan.start());
        const QString address = QStringLiteral("rfc2217://127.0.0.1:%1").arg(wan.port());
        QTemporaryDir dir;
        const QString trace = dir.filePath("trace.log");
        const CliRun read = runCli({"read", "--device", address, "--trace", trace, kFastWait});
        QVERIFY2(read.exitCode == 0, read.err.constData());
        const int delay = lineDelayIn(trace);
        QVERIFY2(delay >= 300 && delay < 600, qPrintable(QString::number(delay)));
        const CliRun apply = runCli({"apply", kExample, "--device", address, kFastWait});
        QVERIFY2(apply.exitCode == 0, apply.err.constData());
    }

    void unreachableAddressesFailClearly_data()
    {
        QTest::addColumn<QStringList>("unit");
        QTest::addColumn<int>("exitCode");
        QTest::addColumn<QString>("says");
        QTest::newRow("no such host") << QStringList{"--device", "tcp://no-such-host.invalid:4001"}
                                      << 69 << "no such host \"no-such-host.invalid\"";
        QTest::newRow("connection refused")
            << QStringList{"--device", QStringLiteral("tcp://127.0.0.1:%1").arg(freeTcpPort())}
            << 69 << "refused";
        QTest::newRow("malformed --device")
            << QStringList{"--device", "rfc2217://127.0.0.1"} << 64 << "no port";
        QTest::newRow("malformed --port")
            << QStringList{"--port", "1=tcp://[::1:4000"} << 64 << "closing \"]\"";
    }
    void unreachableAddressesFailClearly()
    {
        QFETCH(QStringList, unit);
        QFETCH(int, exitCode);
        QFETCH(QString, says);
        const CliRun run = runCli(QStringList{"read"} + unit + QStringList{kFastWait});
        QCOMPARE(run.exitCode, exitCode);
        QVERIFY2(run.err.contains(says.toUtf8()), run.err.constData());
    }

    void aConnectNobodyAnswersIsBounded()
    {
        DeafListener deaf;
        const CliRun run = runCli({"read", "--device", deaf.address(), kFastWait});
        QCOMPARE(run.exitCode, 69);
        QVERIFY2(run.err.contains("no answer to the connection within 5 s"), run.err.constData());
    }

    void ctrlCEndsTheConnectAtOnce()
    {
        DeafListener deaf;
        QProcess cli;
        startCli(cli, {"read", "--device", deaf.address()});
        QVERIFY(cli.waitForStarted());
        QTest::qWait(500);
        ::kill(pid_t(cli.processId()), SIGINT);
        QVERIFY(cli.waitForFinished(2000)); // well inside the connect's 5 s
        QCOMPARE(cli.exitCode(), 130);
    }

    // ser2net serves one client: another is accepted, told "Port already in use" and dropped.
    void aTerminalServerPortInUseIsBusy_data()
    {
        QTest::addColumn<bool>("rfc2217");
        QTest::newRow("rfc2217") << true;
        QTest::newRow("raw tcp") << false;
    }
    void aTerminalServerPortInUseIsBusy()
    {
        QFETCH(bool, rfc2217);
        RemoteUnit unit;
        QVERIFY(unit.start());
        const QString address = rfc2217 ? unit.server.rfc2217Address() : unit.server.rawAddress();
        tarvex::link::LinePort holder(tarvex::link::PortMap::pinned({{1, address}}));
        QVERIFY2(holder.SetOpen(true), qPrintable(holder.errorString()));
        const CliRun run = runCli({"read", "--device", address, kFastWait});
        QCOMPARE(run.exitCode, 75);
        QVERIFY2(run.err.contains("in use by another client"), run.err.constData());
    }

    // Through a slow link the server still holds its port for a moment after a client left.
    void aReconnectRightAfterADisconnectIsRetried()
    {
        RemoteUnit unit;
        QVERIFY(unit.start());
        DelayProxy wan(unit.server.rfc2217Port(), 80);
        QVERIFY(wan.start());
        tarvex::link::LinePort cm(tarvex::link::PortMap::pinned(
            {{1, QStringLiteral("rfc2217://127.0.0.1:%1").arg(wan.port())}}));
        QVERIFY2(cm.SetOpen(true), qPrintable(cm.errorString()));
        QVERIFY(cm.SetOpen(false));
        QVERIFY2(cm.SetOpen(true), qPrintable(cm.errorString()));
    }

    // The unit goes away among the writes: "changes" lists only what it took, and every write
    // it received is there or "unconfirmed", none "not_sent".
    void aLineDroppedMidApplyIsALostLine()
    {
        RemoteUnit unit({"--hangup-after", "14"});
        QVERIFY(unit.start());
        const CliRun run = runCli(
            {"apply", kExample, "--device", unit.server.rfc2217Address(), "--json", kFastWait});
        QCOMPARE(run.exitCode, 74);
        QCOMPARE(run.json().value("error").toObject().value("kind").toString(), "lost-line");
        const qsizetype changes = run.json().value("changes").toArray().size();
        const qsizetype sent = changes + run.json().value("unconfirmed").toArray().size();
        const qsizetype writesReceived = unit.sim.log().count('&');
        QVERIFY2(changes >= 1 && changes <= writesReceived && sent >= writesReceived,
                 qPrintable(QStringLiteral("%1 %2 %3").arg(changes).arg(sent).arg(writesReceived)));
        QVERIFY(!run.json().value("not_sent").toArray().isEmpty());
    }

    // A server that goes away while the line is idle is noticed without an exchange, and the
    // next exchange fails with the reason.
    void aServerVanishingWhileIdleIsNoticed()
    {
        RemoteUnit unit;
        QVERIFY(unit.start());
        tarvex::link::LinePort cm(tarvex::link::PortMap::pinned({{1, unit.server.rawAddress()}}));
        tarvex::link::Link link(cm, std::chrono::milliseconds(150));
        QVERIFY(cm.SetOpen(true));
        QSignalSpy lost(&cm, &tarvex::link::Port::deviceLost);
        unit.server.kill();
        QVERIFY(lost.wait(5000));
        QCOMPARE(lost.count(), 1);
        QCOMPARE(lost.first().at(1).toString(),
                 QString("the terminal server closed the connection"));
        QVERIFY_THROWS_EXCEPTION(tarvex::link::LinkError, link.SendAndWait("?\r"));
    }

    // A server whose Telnet makes no sense fails the open, with what it did.
    void telnetGarbageFailsTheOpen_data()
    {
        QTest::addColumn<QByteArray>("garbage");
        QTest::addColumn<QString>("says");
        const QByteArray agrees("\xff\xfd\x00\xff\xfb\x00\xff\xfd\x2c", 9);
        QTest::newRow("endless subnegotiation")
            << QByteArray("\xff\xfa\x2c", 3) + QByteArray(4000, 'x') << "malformed";
        QTest::newRow("refuses binary") << QByteArray("\xff\xf1\xff\xfe\x00", 5) << "binary";
        QTest::newRow("wrong baud rate")
            << agrees + QByteArray("\xff\x07\xff\xfa\x2c\x65\x00\x00\x12\xc0\xff\xf0", 12)
            << "baud rate to 4800";
    }
    void telnetGarbageFailsTheOpen()
    {
        QFETCH(QByteArray, garbage);
        QFETCH(QString, says);
        QTcpServer server;
        QVERIFY(server.listen(QHostAddress::LocalHost));
        connect(&server, &QTcpServer::newConnection, &server,
                [&] { server.nextPendingConnection()->write(garbage); });
        QProcess cli;
        startCli(cli, {"read", "--device",
                       QStringLiteral("rfc2217://127.0.0.1:%1").arg(server.serverPort())});
        const CliRun run = finishCli(cli);
        QCOMPARE(run.exitCode, 69);
        QVERIFY2(run.err.contains(says.toUtf8()) && run.err.contains("rfc2217://127.0.0.1:"),
                 run.err.constData());
    }
};

QTEST_GUILESS_MAIN(TestTerminalServer)
#include "tst_terminal_server.moc"
