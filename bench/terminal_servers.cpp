#include "terminal_servers.h"

#include <QEventLoop>
#include <QFile>
#include <QSet>
#include <QTcpServer>
#include <QTimer>

#include <algorithm>

namespace {

constexpr int kStartMs = 10000;
constexpr int kListenCheckMs = 20;

// Distinct ports the system has just handed out; each is closed again for ser2net to take.
std::vector<quint16> freePorts(int count)
{
    QSet<quint16> taken;
    std::vector<std::unique_ptr<QTcpServer>> holders;
    while (int(taken.size()) < count) {
        auto& holder = holders.emplace_back(std::make_unique<QTcpServer>());
        if (!holder->listen(QHostAddress::LocalHost, 0))
            return {};
        taken.insert(holder->serverPort());
    }
    std::vector<quint16> ports;
    for (const auto& holder : holders)
        ports.push_back(holder->serverPort());
    return ports;
}

// Connecting would take ser2net's one client place: a port listens once it can't be bound.
bool listens(quint16 port)
{
    QTcpServer probe;
    return !probe.listen(QHostAddress::LocalHost, port);
}

// Checks every few milliseconds from an event loop until all ports listen or time runs out.
bool allListenSoon(const std::vector<quint16>& ports)
{
    QEventLoop loop;
    QTimer check;
    QTimer::singleShot(kStartMs, &loop, [&loop] { loop.exit(1); });
    QObject::connect(&check, &QTimer::timeout, &loop, [&] {
        if (std::all_of(ports.begin(), ports.end(), listens))
            loop.exit(0);
    });
    check.start(kListenCheckMs);
    return loop.exec() == 0;
}

QString configuration(const QStringList& devices, const std::vector<quint16>& ports)
{
    QString text;
    for (qsizetype i = 0; i < devices.size(); ++i) {
        const QString connector =
            QStringLiteral("  connector: serialdev,%1,9600n81,local\n").arg(devices[i]);
        text += QStringLiteral("connection: &unit%1-rfc2217\n"
                               "  accepter: telnet(rfc2217),tcp,127.0.0.1,%2\n")
                    .arg(i)
                    .arg(ports[2 * i]) +
                connector;
        text += QStringLiteral("connection: &unit%1-raw\n  accepter: tcp,127.0.0.1,%2\n")
                    .arg(i)
                    .arg(ports[2 * i + 1]) +
                connector;
    }
    return text;
}

void stopProcess(QProcess& process)
{
    if (process.state() == QProcess::NotRunning)
        return;
    process.terminate();
    if (!process.waitForFinished(kStartMs))
        process.kill();
    process.waitForFinished();
}

} // namespace

bool Ser2netServer::start(const QStringList& devices, const QTemporaryDir& scratch)
{
    ports_ = freePorts(int(devices.size()) * 2);
    QFile file(scratch.filePath(QStringLiteral("ser2net.yaml")));
    if (ports_.empty() || !file.open(QIODevice::WriteOnly) ||
        file.write(configuration(devices, ports_).toUtf8()) < 0)
        return false;
    file.close();
    // ser2net tells of a missing mDNS on stderr at every start: not worth showing.
    process_.setStandardOutputFile(QProcess::nullDevice());
    process_.setStandardErrorFile(QProcess::nullDevice());
    // -n: in the foreground; -u: no UUCP lock files (the simulators' devices are ours alone).
    process_.start(QStringLiteral("ser2net"),
                   {QStringLiteral("-n"), QStringLiteral("-u"), QStringLiteral("-c"),
                    file.fileName(), QStringLiteral("-P"),
                    scratch.filePath(QStringLiteral("ser2net.pid"))});
    return process_.waitForStarted(kStartMs) && allListenSoon(ports_);
}

void Ser2netServer::stop()
{
    stopProcess(process_);
}

QString Ser2netServer::address(int unit, bool rfc2217) const
{
    return QStringLiteral("%1://127.0.0.1:%2")
        .arg(rfc2217 ? QStringLiteral("rfc2217") : QStringLiteral("tcp"))
        .arg(port(unit, rfc2217));
}

quint16 DelayProxies::start(quint16 target, int delayMs)
{
    auto& proxy = proxies_.emplace_back(std::make_unique<QProcess>());
    proxy->setProcessChannelMode(QProcess::ForwardedErrorChannel);
    proxy->start(QStringLiteral("python3"), {QStringLiteral(TARVEX_DELAY_PROXY),
                                             QString::number(target), QString::number(delayMs)});
    if (!proxy->waitForStarted(kStartMs))
        return 0;
    while (!proxy->canReadLine()) {
        if (!proxy->waitForReadyRead(kStartMs))
            return 0;
    }
    return quint16(proxy->readLine().trimmed().toUInt());
}

void DelayProxies::stop()
{
    for (auto& proxy : proxies_)
        stopProcess(*proxy);
    proxies_.clear();
}
