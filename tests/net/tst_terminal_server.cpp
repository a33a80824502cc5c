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

#include <algorithm>
#include <csignal>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

namespace {

// Short enough to keep the suite quick, long enough for a loaded CI machine to answer.
const QString kFastWait = QStringLiteral("--reply-wait=150");
const QString kExample = QStringLiteral(TARVEX_EXAMPLE_CONFIG);

// Port number 1 at a network address.
tarvex::link::PortMap onlyAt(const QString& address)
{
    return tarvex::link::PortMap::pinned(
        {{1, tarvex::link::DeviceName::fromText(address, nullptr).value()}});
}

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

// The largest resident size of a running process, sampled until it ends, in KiB.
qint64 largestRssWhileRunning(QProcess& process)
{
    qint64 largest = 0;
    const QString status = QStringLiteral("/proc/%1/status").arg(process.processId());
    while (process.state() == QProcess::Running) {
        QFile file(status);
        if (file.open(QIODevice::ReadOnly)) {
            static const QRegularExpression rss(QStringLiteral("VmRSS:\\s+(\\d+) kB"));
            const auto match = rss.match(QString::fromLatin1(file.readAll()));
            if (match.hasMatch())
                largest = std::max(largest, match.captured(1).toLongLong());
        }
        process.waitForFinished(20);
    }
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
        const QByteArray err = cli.readAllStandardError();
        QVERIFY2(err.contains("interrupted while connecting; nothing was sent"), err.constData());
    }

    // ser2net serves one client: another is accepted, told "Port already in use" and dropped.
    // Behind a slow path the refusal comes after the open, and still counts.
    void aTerminalServerPortInUseIsBusy_data()
    {
        QTest::addColumn<bool>("rfc2217");
        QTest::addColumn<int>("pathDelayMs");
        QTest::newRow("rfc2217") << true << 0;
        QTest::newRow("raw tcp") << false << 0;
        QTest::newRow("raw tcp behind 300 ms each way") << false << 300;
    }
    void aTerminalServerPortInUseIsBusy()
    {
        QFETCH(bool, rfc2217);
        QFETCH(int, pathDelayMs);
        RemoteUnit unit;
        QVERIFY(unit.start());
        const QString address = rfc2217 ? unit.server.rfc2217Address() : unit.server.rawAddress();
        tarvex::link::LinePort holder(onlyAt(address));
        QVERIFY2(holder.SetOpen(true), qPrintable(holder.errorString()));
        DelayProxy wan(rfc2217 ? unit.server.rfc2217Port() : unit.server.rawPort(), pathDelayMs);
        QVERIFY(wan.start());
        const QString reached =
            pathDelayMs > 0 ? QStringLiteral("tcp://127.0.0.1:%1").arg(wan.port()) : address;
        const CliRun run = runCli({"read", "--device", reached, kFastWait});
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
        tarvex::link::LinePort cm(onlyAt(QStringLiteral("rfc2217://127.0.0.1:%1").arg(wan.port())));
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
        tarvex::link::LinePort cm(onlyAt(unit.server.rawAddress()));
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

    // A server that floods the line: what the line holds stays bounded, the run ends at once,
    // and its one message is a line long.
    void aFloodIsBoundedAndNamedOnce_data()
    {
        QTest::addColumn<QString>("scheme");
        QTest::addColumn<QByteArray>("pattern");
        QTest::addColumn<bool>("afterFirstCommand");
        QTest::addColumn<int>("exitCode");
        QTest::newRow("0xFF on tcp:// at once") << "tcp" << QByteArray("\xff") << false << 69;
        QTest::newRow("Telnet NOPs on tcp:// after a command")
            << "tcp" << QByteArray("\xff\xf1") << true << 74;
        QTest::newRow("0xFF data in a stalled rfc2217:// negotiation")
            << "rfc2217" << QByteArray("\xff\xff") << false << 69;
    }
    void aFloodIsBoundedAndNamedOnce()
    {
        QFETCH(QString, scheme);
        QFETCH(QByteArray, pattern);
        QFETCH(bool, afterFirstCommand);
        QFETCH(int, exitCode);
        FloodServer flood(pattern, afterFirstCommand ? FloodServer::From::FirstCommand
                                                     : FloodServer::From::Connect);
        QVERIFY(flood.start());
        QProcess cli;
        startCli(cli,
                 {"read", "--device",
                  QStringLiteral("%1://127.0.0.1:%2").arg(scheme).arg(flood.port()), kFastWait});
        QVERIFY(cli.waitForStarted());
        const qint64 rssKiB = largestRssWhileRunning(cli);
        const CliRun run = finishCli(cli);
        qInfo("largest resident size under the flood: %lld KiB", rssKiB);
        QVERIFY2(rssKiB < 100 * 1024, qPrintable(QString::number(rssKiB)));
        QCOMPARE(run.exitCode, exitCode);
        QCOMPARE(run.err.count("far more than a unit would"), 1);
        QVERIFY2(run.err.size() < 400, run.err.left(400).constData());
    }

    // A Telnet port named tcp:// is refused before any write that its Telnet would mangle,
    // also when a slow path brings its negotiation after the open.
    void aTelnetPortOnTcpIsRefused_data()
    {
        QTest::addColumn<int>("pathDelayMs");
        QTest::addColumn<bool>("busy");
        QTest::newRow("direct") << 0 << false;
        QTest::newRow("behind 300 ms each way") << 300 << false;
        QTest::newRow("busy with another client") << 0 << true;
    }
    void aTelnetPortOnTcpIsRefused()
    {
        QFETCH(int, pathDelayMs);
        QFETCH(bool, busy);
        RemoteUnit unit;
        QVERIFY(unit.start());
        tarvex::link::LinePort holder(onlyAt(unit.server.rfc2217Address()));
        QVERIFY(!busy || holder.SetOpen(true));
        DelayProxy wan(unit.server.rfc2217Port(), pathDelayMs);
        QVERIFY(wan.start());
        const quint16 port = pathDelayMs > 0 ? wan.port() : unit.server.rfc2217Port();
        const CliRun run = runCli({"message", "set", "test", "a\u00ffb", "--device",
                                   QStringLiteral("tcp://127.0.0.1:%1").arg(port), kFastWait});
        QCOMPARE(run.exitCode, 69);
        QVERIFY2(
            run.err.contains(QStringLiteral("this port speaks Telnet: use rfc2217://127.0.0.1:%1")
                                 .arg(port)
                                 .toUtf8()),
            run.err.constData());
        QVERIFY2(!unit.sim.log().contains('&'), unit.sim.log().constData());
        // The server's Telnet bytes are never quoted raw.
        QVERIFY(std::all_of(run.err.cbegin(), run.err.cend(), [](char c) { return c > 0; }));
    }

    // A reply that comes after its wait is named for it, with what to do.
    void aLateReplyNamesTheDelay_data()
    {
        QTest::addColumn<bool>("rfc2217");
        QTest::addColumn<QString>("advice");
        QTest::newRow("tcp://") << false
                                << "raise ?delay=MS, or use rfc2217://, whose delay is measured";
        QTest::newRow("rfc2217://") << true << "raise ?delay=MS\n";
    }
    void aLateReplyNamesTheDelay()
    {
        QFETCH(bool, rfc2217);
        QFETCH(QString, advice);
        RemoteUnit unit({"--delay", "400"});
        QVERIFY(unit.start());
        const QString address = rfc2217 ? unit.server.rfc2217Address() : unit.server.rawAddress();
        const CliRun run = runCli({"read", "--device", address, "--json", kFastWait});
        QCOMPARE(run.exitCode, 74);
        const QJsonObject error = run.json().value("error").toObject();
        QCOMPARE(error.value("kind").toString(), "late-reply");
        QVERIFY2((error.value("message").toString() + u'\n').contains(advice),
                 qPrintable(error.value("message").toString()));
    }

    // A scan names each address that gave nothing, with why.
    void aScanSaysWhyAnAddressGaveNothing_data()
    {
        QTest::addColumn<QString>("address");
        QTest::addColumn<QString>("says");
        QTest::newRow("no such host") << "tcp://no-such-host.invalid:4001"
                                      << "port 1  tcp://no-such-host.invalid:4001: no such host";
        const QString refused = QStringLiteral("tcp://127.0.0.1:%1").arg(freeTcpPort());
        QTest::newRow("refused") << refused
                                 << "port 1  " + refused + ": the connection was refused";
    }
    void aScanSaysWhyAnAddressGaveNothing()
    {
        QFETCH(QString, address);
        QFETCH(QString, says);
        const CliRun run = runCli({"scan", "--port", "1=" + address, kFastWait});
        QCOMPARE(run.exitCode, 69);
        QVERIFY2(run.err.contains(says.toUtf8()), run.err.constData());
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
