#include "support/terminal_server.h"

#include <QDeadlineTimer>
#include <QFile>
#include <QStandardPaths>
#include <QTcpServer>
#include <QTest>

#include <csignal>
#include <sys/prctl.h>

namespace {

constexpr int kStartMs = 10000;
constexpr int kStopMs = 5000;

void dieWithTheTest(QProcess& process)
{
    process.setChildProcessModifier([] { prctl(PR_SET_PDEATHSIG, SIGKILL); });
}

void stop(QProcess& process)
{
    if (process.state() == QProcess::NotRunning)
        return;
    process.terminate();
    if (!process.waitForFinished(kStopMs)) {
        process.kill();
        process.waitForFinished(kStopMs);
    }
}

// A port listens once this process can no longer listen on it; nothing connects, so the
// server's one client place stays free.
bool listensSoon(quint16 port)
{
    return QTest::qWaitFor(
        [port] {
            QTcpServer probe;
            return !probe.listen(QHostAddress::LocalHost, port);
        },
        kStartMs);
}

// Starts one of the Python servers beside this file, which prints the port it listens on.
quint16 startPythonServer(QProcess& process, const QString& script, const QStringList& arguments)
{
    process.start(QStringLiteral("python3"), QStringList{script} + arguments);
    if (!process.waitForStarted(kStartMs))
        return 0;
    while (!process.canReadLine()) {
        if (!process.waitForReadyRead(kStartMs))
            return 0;
    }
    return quint16(process.readLine().trimmed().toUInt());
}

} // namespace

quint16 freeTcpPort()
{
    QTcpServer server;
    return server.listen(QHostAddress::LocalHost, 0) ? server.serverPort() : 0;
}

Ser2netProcess::Ser2netProcess(const QString& device) : device_(device)
{
    process_.setProcessChannelMode(QProcess::ForwardedErrorChannel);
    process_.setStandardOutputFile(QProcess::nullDevice());
    dieWithTheTest(process_);
}

Ser2netProcess::~Ser2netProcess()
{
    stop(process_);
}

bool Ser2netProcess::start()
{
    rfc2217Port_ = freeTcpPort();
    rawPort_ = freeTcpPort();
    const QString config = scratch_.filePath(QStringLiteral("ser2net.yaml"));
    QFile file(config);
    const QString text = QStringLiteral("connection: &rfc2217\n"
                                        "  accepter: telnet(rfc2217),tcp,127.0.0.1,%1\n"
                                        "  connector: serialdev,%3,9600n81,local\n"
                                        "connection: &raw\n"
                                        "  accepter: tcp,127.0.0.1,%2\n"
                                        "  connector: serialdev,%3,9600n81,local\n")
                             .arg(rfc2217Port_)
                             .arg(rawPort_)
                             .arg(device_);
    if (!file.open(QIODevice::WriteOnly) || file.write(text.toUtf8()) < 0)
        return false;
    file.close();
    // -n: in the foreground; -u: no UUCP lock files (the simulator's device is ours alone).
    // Debian installs it in /usr/sbin, which a user's PATH (or an empty environment's) lacks.
    const QString program = QStandardPaths::findExecutable(
        QStringLiteral("ser2net"), {QStringLiteral("/usr/sbin"), QStringLiteral("/usr/bin")});
    process_.start(program.isEmpty() ? QStringLiteral("ser2net") : program,
                   {QStringLiteral("-n"), QStringLiteral("-u"), QStringLiteral("-c"), config,
                    QStringLiteral("-P"), scratch_.filePath(QStringLiteral("ser2net.pid"))});
    if (!process_.waitForStarted(kStartMs)) {
        qWarning("ser2net cannot start (Debian package ser2net): %s",
                 qPrintable(process_.errorString()));
        return false;
    }
    return listensSoon(rfc2217Port_) && listensSoon(rawPort_);
}

QString Ser2netProcess::rfc2217Address() const
{
    return QStringLiteral("rfc2217://127.0.0.1:%1").arg(rfc2217Port_);
}

QString Ser2netProcess::rawAddress() const
{
    return QStringLiteral("tcp://127.0.0.1:%1").arg(rawPort_);
}

void Ser2netProcess::kill()
{
    process_.kill();
    process_.waitForFinished(kStopMs);
}

DelayProxy::DelayProxy(quint16 target, int delayMs) : target_(target), delayMs_(delayMs)
{
    process_.setProcessChannelMode(QProcess::ForwardedErrorChannel);
    dieWithTheTest(process_);
}

DelayProxy::~DelayProxy()
{
    stop(process_);
}

bool DelayProxy::start()
{
    port_ = startPythonServer(process_, QStringLiteral(TARVEX_DELAY_PROXY),
                              {QString::number(target_), QString::number(delayMs_)});
    return port_ != 0;
}

FloodServer::FloodServer(QByteArray pattern, From from) : pattern_(std::move(pattern)), from_(from)
{
    process_.setProcessChannelMode(QProcess::ForwardedErrorChannel);
    dieWithTheTest(process_);
}

FloodServer::~FloodServer()
{
    stop(process_);
}

bool FloodServer::start()
{
    QStringList arguments{QString::fromLatin1(pattern_.toHex())};
    if (from_ == From::FirstCommand)
        arguments << QStringLiteral("after-first-bytes");
    port_ = startPythonServer(process_, QStringLiteral(TARVEX_FLOOD_SERVER), arguments);
    return port_ != 0;
}
