// Units through SSH against the same units reached directly, with a test sshd of our own on
// 127.0.0.1 (never the machine's) and ser2net on its loopback, as on a site box. Two
// measurements:
//  - one fresh unit per line: tarvex-cli apply of the example file, then read, straight to
//    ser2net (rfc2217://) and through the SSH tunnel (rfc2217:// and tcp:// ?via=site), on
//    loopback and across the proxy adding 150 ms each way: in front of sshd for the tunnel (the
//    controller far from the site box), in front of ser2net for the direct line, and once behind
//    sshd (ser2net far from the SSH host). Each command's connect time (its start to its first
//    exchange's) and each exchange against its 200 ms + round-trip window (goal: at most 1.05
//    times), with the SSH logins sshd accepted meanwhile;
//  - a fleet: 64 fresh units behind one ser2net behind one sshd, one `fleet apply` of all of them
//    through the tunnel, against one site's (goal: at most 1.3 times), with the SSH connections
//    and logins sshd accepted during each (from its log at VERBOSE); and as many logins at
//    once without sharing, as where ssh cannot share a connection, against sshd's MaxStartups.
// Options: --sites N (64), the fleet's size; --fleet-only, the fleet alone.
// The machine's load average is printed before and after: the figures are one run each.
#include "sim_fleet.h"
#include "site_register.h"
#include "support/ssh_server.h"
#include "terminal_servers.h"
#include "traced_exchanges.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QFile>
#include <QJsonDocument>
#include <QJsonObject>

#include <algorithm>
#include <cstdio>
#include <memory>

namespace {

constexpr double kExchangeGoal = 1.05;
constexpr double kFleetGoal = 1.3;
constexpr int kWanDelayMs = 150;
constexpr int kFleetSites = 64;

QString cli()
{
    return QStringLiteral(TARVEX_CLI_PATH);
}

void printLoad(const char* when)
{
    QFile load(QStringLiteral("/proc/loadavg"));
    const QByteArray figures = load.open(QIODevice::ReadOnly) ? load.readAll().trimmed() : "?";
    std::printf("load average %s: %s\n", when, figures.constData());
}

// What sshd's log says so far: the TCP connections it took, the logins it accepted, and the
// connections it dropped past MaxStartups.
struct SshdCount
{
    int connections = 0;
    int logins = 0;
    int dropped = 0;
};

SshdCount sshdCount(const QString& log)
{
    const QByteArray text = readFile(log);
    return {int(text.count("Connection from ")), int(text.count("Accepted publickey for ")),
            int(text.count("past MaxStartups"))};
}

SshdCount operator-(const SshdCount& after, const SshdCount& before)
{
    return {after.connections - before.connections, after.logins - before.logins,
            after.dropped - before.dropped};
}

// --- one unit, one command at a time --------------------------------------------------------

// Where the delaying proxy sits: nowhere; between the controller and the site box (in front of
// sshd for a tunnel, of ser2net for a direct line); between sshd and ser2net.
enum class Proxy { None, Wan, BehindSshd };

struct Line
{
    const char* name;
    bool ssh;
    bool rfc2217;
    Proxy proxy;
};

// The bench's own server and the client settings every line through it takes.
struct Gateway
{
    SshServer server;
    QString log;
    quint16 wanPort = 0; // the proxy in front of sshd

    // ssh with the server's config; across the proxy, its host key still checked under the
    // name it has in known_hosts.
    QString sshCommand(bool wan) const
    {
        if (!wan)
            return server.sshCommand();
        return server.sshCommand() + QStringLiteral(" -o Port=%1 -o HostKeyAlias=[127.0.0.1]:%2")
                                         .arg(wanPort)
                                         .arg(server.port());
    }
};

QString addressOf(const Line& line, const Ser2netServer& ser2net, DelayProxies& proxies)
{
    const quint16 target = ser2net.port(0, line.rfc2217);
    const bool proxied =
        line.proxy == Proxy::BehindSshd || (!line.ssh && line.proxy != Proxy::None);
    const quint16 port = proxied ? proxies.start(target, kWanDelayMs) : target;
    const QString address =
        QStringLiteral("%1://127.0.0.1:%2")
            .arg(line.rfc2217 ? QStringLiteral("rfc2217") : QStringLiteral("tcp"))
            .arg(port);
    return line.ssh ? address + QStringLiteral("?via=site") : address;
}

// One command with its trace, and its row of the table; the ratio of its exchanges to their
// windows, or -1 when it failed.
double reportCommand(const Line& line, const QStringList& arguments, const Gateway& gateway,
                     const QTemporaryDir& scratch)
{
    const QString trace = scratch.filePath(QStringLiteral("exchange.trace"));
    QFile::remove(trace);
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert(QStringLiteral("TARVEX_SSH_COMMAND"),
                       gateway.sshCommand(line.proxy == Proxy::Wan));
    const SshdCount before = sshdCount(gateway.log);
    const QDateTime launched = QDateTime::currentDateTimeUtc();
    const Measured run = measure(
        cli(), arguments + QStringList{QStringLiteral("--trace"), trace, QStringLiteral("--json")},
        environment);
    const SshdCount opened = sshdCount(gateway.log) - before;
    const Exchanges exchanges = exchangesIn(trace);
    if (run.exitCode != 0 || exchanges.count == 0) {
        const QJsonObject error =
            QJsonDocument::fromJson(run.output).object().value(QStringLiteral("error")).toObject();
        std::printf("%-26s %-6s failed: exit %d, %s: %s\n", line.name, qPrintable(arguments[0]),
                    run.exitCode, qPrintable(error.value(QStringLiteral("kind")).toString()),
                    qPrintable(error.value(QStringLiteral("message")).toString()));
        return -1;
    }
    std::printf("%-26s %-6s %5d %8d %8lld %9.1f %9.1f %8.4fx %7.3f %6d\n", line.name,
                qPrintable(arguments[0]), exchanges.count, exchanges.lineDelayMs,
                static_cast<long long>(launched.msecsTo(exchanges.firstStart)),
                exchanges.waitMs / exchanges.count, exchanges.spanMs / exchanges.count,
                exchanges.ratio(), run.wallSeconds, opened.logins);
    return exchanges.ratio();
}

double reportLine(const Line& line, const Gateway& gateway, const QTemporaryDir& scratch)
{
    SimFleet sims;
    Ser2netServer ser2net;
    DelayProxies proxies;
    const QStringList devices = sims.start(1, scratch);
    if (devices.size() != 1 || !ser2net.start(devices, scratch))
        return -1;
    const QString address = addressOf(line, ser2net, proxies);
    const double apply =
        reportCommand(line,
                      {QStringLiteral("apply"), QStringLiteral(TARVEX_EXAMPLE_CONFIG),
                       QStringLiteral("--device"), address},
                      gateway, scratch);
    const double read = reportCommand(
        line, {QStringLiteral("read"), QStringLiteral("--device"), address}, gateway, scratch);
    return apply < 0 || read < 0 ? -1 : std::max(apply, read);
}

bool reportExchangeCost(const Gateway& gateway, const QTemporaryDir& scratch)
{
    std::printf("one fresh unit per line: apply of the example file, then read; the proxy adds "
                "%d ms each way\n",
                kWanDelayMs);
    std::printf("%-26s %-6s %5s %8s %8s %9s %9s %9s %7s %6s\n", "line", "run", "exch", "delay ms",
                "conn ms", "wait ms", "took ms", "ratio", "wall s", "logins");
    const Line lines[] = {
        {"direct rfc2217", false, true, Proxy::None},
        {"ssh rfc2217", true, true, Proxy::None},
        {"ssh tcp", true, false, Proxy::None},
        {"direct rfc2217 +150", false, true, Proxy::Wan},
        {"ssh rfc2217 +150 to sshd", true, true, Proxy::Wan},
        {"ssh tcp +150 to sshd", true, false, Proxy::Wan},
        {"ssh rfc2217 +150 to ser2net", true, true, Proxy::BehindSshd},
    };
    double worst = 0;
    for (const Line& line : lines) {
        const double ratio = reportLine(line, gateway, scratch);
        if (ratio < 0)
            return false;
        if (line.ssh)
            worst = std::max(worst, ratio);
    }
    std::printf("through SSH, time per exchange at most %.4fx its window: goal (at most %.2fx) "
                "%s\n\n",
                worst, kExchangeGoal, worst <= kExchangeGoal ? "met" : "missed");
    return true;
}

// --- units behind one gateway ---------------------------------------------------------------

// One fleet apply of `sites` fresh units behind one ser2net (RFC 2217), all at once, each site
// through the tunnel or straight to ser2net; what sshd accepted meanwhile in opened.
Measured fleetApply(int sites, bool ssh, const Gateway& gateway, const QTemporaryDir& scratch,
                    SshdCount& opened)
{
    QProcessEnvironment environment = benchEnvironment(scratch);
    environment.insert(QStringLiteral("TARVEX_SSH_COMMAND"), gateway.sshCommand(false));
    SimFleet sims;
    Ser2netServer ser2net;
    const QStringList devices = sims.start(sites, scratch);
    if (devices.size() != sites || !ser2net.start(devices, scratch))
        return {};
    QStringList addresses;
    for (int i = 0; i < sites; ++i)
        addresses << ser2net.address(i, true) + (ssh ? QStringLiteral("?via=site") : QString());
    const QString folder =
        scratch.filePath(QStringLiteral("fleet-%1-%2").arg(sites).arg(ssh ? "ssh" : "direct"));
    if (!makeRegister(folder, addresses, siteTemplate(), environment))
        return {};
    const SshdCount before = sshdCount(gateway.log);
    const Measured run = measure(
        cli(),
        fleet(QStringLiteral("apply"), folder, {QStringLiteral("--jobs"), QString::number(sites)}),
        environment);
    opened = sshdCount(gateway.log) - before;
    return run;
}

bool reportFleet(int fleetSites, const Gateway& gateway, const QTemporaryDir& scratch)
{
    std::printf("fleet apply of one template to fresh units behind one ser2net (RFC 2217), all "
                "at once\n");
    std::printf("%-28s %5s %8s %8s %8s %8s %5s %6s %6s\n", "run", "exit", "wall s", "vs one",
                "cpu s", "rss MB", "fds", "conns", "logins");
    double one = 0;
    double ratio = 0;
    for (const auto& [sites, ssh] : {std::pair{1, true}, std::pair{fleetSites, true},
                                     std::pair{1, false}, std::pair{fleetSites, false}}) {
        SshdCount opened;
        const Measured run = fleetApply(sites, ssh, gateway, scratch, opened);
        if (sites == 1)
            one = run.wallSeconds; // each kind of line against its own one site
        else if (ssh)
            ratio = run.wallSeconds / one;
        const QByteArray name = QByteArray::number(sites) + (sites == 1 ? " site" : " sites") +
                                (ssh ? " via one sshd" : " direct");
        std::printf("%-28s %5d %8.3f %7.3fx %8.3f %8.1f %5d %6d %6d\n", name.constData(),
                    run.exitCode, run.wallSeconds, run.wallSeconds / one, run.cpuSeconds,
                    run.peakRssMb, run.peakDescriptors, opened.connections, opened.logins);
        printFailures(run);
        if (run.exitCode != 0)
            return false;
    }
    std::printf("%d sites through one SSH host took %.3fx one: goal (at most %.1fx) %s\n",
                fleetSites, ratio, kFleetGoal, ratio <= kFleetGoal ? "met" : "missed");
    return true;
}

// Where ssh cannot share connections (Windows' ssh.exe), every line logs in by itself: `sites`
// logins to one sshd at once, each an ssh -W to sshd's own port, held until each has logged in
// or ended. sshd lets only so many unfinished logins wait (MaxStartups, 10:30:100 by default).
void reportLoginsAtOnce(int sites, const Gateway& gateway)
{
    std::vector<std::unique_ptr<QProcess>> logins;
    QEventLoop loop;
    int pending = sites;
    int through = 0;
    const SshdCount before = sshdCount(gateway.log);
    QElapsedTimer wall;
    wall.start();
    const QStringList command = QProcess::splitCommand(gateway.sshCommand(false));
    for (int i = 0; i < sites; ++i) {
        QProcess* ssh = logins.emplace_back(std::make_unique<QProcess>()).get();
        auto settled = std::make_shared<bool>(false);
        const auto settle = [&, settled](bool loggedIn) {
            if (*settled)
                return;
            *settled = true;
            through += loggedIn;
            if (--pending == 0)
                loop.quit();
        };
        auto words = std::make_shared<QByteArray>(); // ssh -v's, as they come
        QObject::connect(ssh, &QProcess::readyReadStandardError, &loop, [ssh, settle, words] {
            *words += ssh->readAllStandardError();
            if (words->contains("Authenticated to"))
                settle(true);
        });
        QObject::connect(ssh, &QProcess::finished, &loop, [settle] { settle(false); });
        QObject::connect(ssh, &QProcess::errorOccurred, &loop,
                         [settle](QProcess::ProcessError error) {
                             if (error == QProcess::FailedToStart) // else finished follows
                                 settle(false);
                         });
        ssh->start(command.first(),
                   command.mid(1) +
                       QStringList{QStringLiteral("-o"), QStringLiteral("BatchMode=yes"),
                                   QStringLiteral("-v"), QStringLiteral("-W"),
                                   QStringLiteral("127.0.0.1:%1").arg(gateway.server.port()),
                                   QStringLiteral("site")});
    }
    loop.exec();
    const double seconds = double(wall.nsecsElapsed()) / 1e9;
    for (const auto& ssh : logins) {
        ssh->kill();
        ssh->waitForFinished();
    }
    const SshdCount opened = sshdCount(gateway.log) - before;
    std::printf("%d logins at once, no sharing (as with Windows' ssh.exe): %d logged in, %d turned "
                "away, in %.3f s; sshd took %d connections, accepted %d logins, dropped %d past "
                "MaxStartups\n",
                sites, through, sites - through, seconds, opened.connections, opened.logins,
                opened.dropped);
}

} // namespace

int main(int argc, char* argv[])
{
    QCoreApplication app(argc, argv);
    QTemporaryDir scratch;
    Gateway gateway;
    DelayProxies wan;
    gateway.log = scratch.filePath(QStringLiteral("sshd.log"));
    if (!gateway.server.start(gateway.log) ||
        (gateway.wanPort = wan.start(gateway.server.port(), kWanDelayMs)) == 0) {
        std::fprintf(stderr, "the test sshd or its proxy did not start\n");
        return 1;
    }
    const QStringList arguments = app.arguments();
    const int fleetSites = optionValue(arguments, QStringLiteral("--sites"), kFleetSites);
    const bool fleetOnly = arguments.contains(QStringLiteral("--fleet-only"));
    printLoad("before");
    const bool measured = (fleetOnly || reportExchangeCost(gateway, scratch)) &&
                          reportFleet(fleetSites, gateway, scratch);
    if (measured)
        reportLoginsAtOnce(fleetSites, gateway);
    printLoad("after");
    if (!measured)
        std::fprintf(stderr, "a run failed: the figures above are not complete\n");
    return measured ? 0 : 1;
}
