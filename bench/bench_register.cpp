// The site register of tarvex-cli fleet against simulated sites. Three measurements:
//  - backup: 200 tarvex-sim units behind ONE ser2net, half RFC 2217 and half raw TCP, some of
//    each behind the proxy adding 150 ms each way; one `fleet backup` of all of them against one
//    site's read (the slowest kind of line; goal: at most 1.2 times), with the run's CPU time,
//    peak memory and peak open file descriptors;
//  - status and the HTML page of that register once it holds 1,000 commits more (goal: each at
//    most 1 s);
//  - apply: 64 sites rendered from one template and applied at once from the register, against
//    the same apply of one site (fresh units each run; goal: at most 1.2 times).
// Options: --sites N (200), --proxied N (20), --commits N (1000), --apply-sites N (64).
#include "sim_fleet.h"
#include "site_register.h"
#include "terminal_servers.h"

#include <QCoreApplication>
#include <QDateTime>

#include <algorithm>
#include <cstdio>

namespace {

constexpr int kRuns = 3; // the median evens out the other engineers' builds
constexpr int kViewRuns = 5;
constexpr double kRunGoal = 1.2;
constexpr double kViewGoalSeconds = 1.0;
constexpr int kWanDelayMs = 150;

QString cli()
{
    return QStringLiteral(TARVEX_CLI_PATH);
}

Measured median(std::vector<Measured> runs)
{
    std::sort(runs.begin(), runs.end(),
              [](const Measured& a, const Measured& b) { return a.wallSeconds < b.wallSeconds; });
    return runs[runs.size() / 2];
}

void printHeader()
{
    std::printf("%-34s %5s %8s %8s %8s %8s %5s\n", "run", "exit", "wall s", "vs one", "cpu s",
                "rss MB", "fds");
}

void printRow(const char* name, const Measured& run, double one)
{
    std::printf("%-34s %5d %8.3f %7.3fx %8.3f %8.1f %5d\n", name, run.exitCode, run.wallSeconds,
                one > 0 ? run.wallSeconds / one : 0.0, run.cpuSeconds, run.peakRssMb,
                run.peakDescriptors);
}

// --- sites and registers --------------------------------------------------------------------

// Every other site raw TCP; the first `proxied` of them behind a proxy of their own (raw TCP
// then with its round trip given: the proxy answers the handshake itself).
QStringList siteAddresses(int sites, int proxied, const Ser2netServer& server,
                          DelayProxies& proxies)
{
    QStringList addresses;
    for (int i = 0; i < sites; ++i) {
        const bool rfc2217 = i % 2 == 0;
        if (i >= proxied) {
            addresses << server.address(i, rfc2217);
            continue;
        }
        const quint16 port = proxies.start(server.port(i, rfc2217), kWanDelayMs);
        if (port == 0)
            return {};
        addresses
            << (rfc2217
                    ? QStringLiteral("rfc2217://127.0.0.1:%1").arg(port)
                    : QStringLiteral("tcp://127.0.0.1:%1?delay=%2").arg(port).arg(2 * kWanDelayMs));
    }
    return addresses;
}

// One commit an hour over the last `commits` hours, each changing one site's test number, the
// sites in turn: a history as months of backups leave it, made by one git fast-import.
bool addHistory(const QString& folder, int sites, int commits,
                const QProcessEnvironment& environment)
{
    const QByteArray file = readFile(QStringLiteral(TARVEX_EXAMPLE_CONFIG));
    const qint64 start = QDateTime::currentSecsSinceEpoch() - qint64(commits + 1) * 3600;
    QByteArray stream;
    for (int c = 0; c < commits; ++c) {
        const QByteArray who =
            "Bench <bench@example.net> " + QByteArray::number(start + c * 3600) + " +0000\n";
        const QByteArray message = "Backup: " + siteName(c % sites).toUtf8() + " changed\n";
        const QByteArray content =
            QByteArray(file).replace("9899999999", QByteArray::number(9800000000LL + c));
        stream += "commit refs/heads/bench\nauthor " + who + "committer " + who + "data " +
                  QByteArray::number(message.size()) + "\n" + message;
        if (c == 0)
            stream += "from HEAD\n"; // the sites' commit
        stream += "M 100644 inline units/" + siteName(c % sites).toUtf8() + ".json\ndata " +
                  QByteArray::number(content.size()) + "\n" + content + "\n";
    }
    QProcess importer;
    importer.setProcessEnvironment(environment);
    importer.setWorkingDirectory(folder);
    importer.setProcessChannelMode(QProcess::ForwardedChannels);
    importer.start(QStringLiteral("git"),
                   {QStringLiteral("fast-import"), QStringLiteral("--quiet")});
    importer.write(stream);
    importer.closeWriteChannel();
    if (!importer.waitForFinished(-1) || importer.exitCode() != 0)
        return false;
    // The branch's files in the work tree and the index; run state under .tarvex/ stays.
    return git(folder,
               {QStringLiteral("reset"), QStringLiteral("--hard"), QStringLiteral("--quiet"),
                QStringLiteral("bench")},
               environment);
}

// --- the measurements -----------------------------------------------------------------------

// The slowest of one read per kind of line: what one site's backup cannot beat.
double oneRead(const QStringList& addresses, int proxied, const QProcessEnvironment& environment)
{
    std::printf("one site's read, per kind of line\n");
    printHeader();
    double slowest = 0;
    const int firstDirect = proxied + proxied % 2; // an RFC 2217 site, a raw one after it
    const std::pair<const char*, int> kinds[] = {{"read rfc2217 +150 ms", 0},
                                                 {"read tcp ?delay=300 +150 ms", 1},
                                                 {"read rfc2217", firstDirect},
                                                 {"read tcp", firstDirect + 1}};
    for (const auto& [name, site] : kinds) {
        const Measured run =
            measure(cli(), {QStringLiteral("read"), QStringLiteral("--device"), addresses[site]},
                    environment);
        printRow(name, run, 0);
        if (run.exitCode != 0)
            return -1;
        slowest = std::max(slowest, run.wallSeconds);
    }
    return slowest;
}

bool reportBackup(int sites, int proxied, int commits, const QTemporaryDir& scratch)
{
    const QProcessEnvironment environment = benchEnvironment(scratch);
    SimFleet sims;
    Ser2netServer server;
    DelayProxies proxies;
    const QStringList devices = sims.start(sites, scratch);
    if (devices.size() != sites || !server.start(devices, scratch))
        return false;
    const QStringList addresses = siteAddresses(sites, proxied, server, proxies);
    const double one = oneRead(addresses, proxied, environment);
    if (addresses.size() != sites || one <= 0)
        return false;

    const QString folder = scratch.filePath(QStringLiteral("register"));
    const QString single = scratch.filePath(QStringLiteral("register-one"));
    if (!makeRegister(folder, addresses, {}, environment) ||
        !makeRegister(single, addresses.mid(0, 1), {}, environment) ||
        !addHistory(folder, sites, commits, environment))
        return false;
    std::printf("\nfleet backup: %d sites behind one ser2net (RFC 2217 and raw TCP), %d of them "
                "behind a proxy adding %d ms each way; median of %d runs\n",
                sites, proxied, kWanDelayMs, kRuns);
    printHeader();
    printRow("backup, a register of 1 site",
             measure(cli(), fleet(QStringLiteral("backup"), single), environment), one);
    const QString jobs = QString::number(sites);
    std::vector<Measured> runs;
    for (int i = 0; i < kRuns; ++i)
        runs.push_back(measure(
            cli(), fleet(QStringLiteral("backup"), folder, {QStringLiteral("--jobs"), jobs}),
            environment));
    printRow("backup --jobs N, first run", runs.front(), one);
    printFailures(runs.front());
    const Measured backup = median(runs);
    printRow("backup --jobs N, median", backup, one);
    printFailures(backup);
    printRow("backup (default --jobs)",
             measure(cli(), fleet(QStringLiteral("backup"), folder), environment), one);
    const double ratio = backup.wallSeconds / one;
    std::printf("%d sites took %.3fx one site's read: goal (at most %.1fx) %s\n\n", sites, ratio,
                kRunGoal, backup.exitCode == 0 && ratio <= kRunGoal ? "met" : "missed");

    std::printf("status and the HTML page: %d sites, %d commits of history and more; median of "
                "%d runs\n",
                sites, commits, kViewRuns);
    printHeader();
    bool met = true;
    const QString page = scratch.filePath(QStringLiteral("register.html"));
    for (const auto& [name, arguments] :
         {std::pair{"status", fleet(QStringLiteral("status"), folder)},
          std::pair{"report -o FILE.html",
                    fleet(QStringLiteral("report"), folder, {QStringLiteral("-o"), page})}}) {
        std::vector<Measured> views;
        for (int i = 0; i < kViewRuns; ++i)
            views.push_back(measure(cli(), arguments, environment));
        const Measured view = median(views);
        printRow(name, view, 0);
        met = met && view.exitCode == 0 && view.wallSeconds <= kViewGoalSeconds;
    }
    std::printf("status and report each at most %.1f s: goal %s\n\n", kViewGoalSeconds,
                met ? "met" : "missed");
    return true;
}

// One fleet apply of `sites` fresh units behind one ser2net (RFC 2217), all at once.
Measured applyOnce(int sites, const QTemporaryDir& scratch, int run)
{
    const QProcessEnvironment environment = benchEnvironment(scratch);
    SimFleet sims;
    Ser2netServer server;
    const QStringList devices = sims.start(sites, scratch);
    if (devices.size() != sites || !server.start(devices, scratch))
        return {};
    QStringList addresses;
    for (int i = 0; i < sites; ++i)
        addresses << server.address(i, true);
    const QString folder = scratch.filePath(QStringLiteral("apply-%1-%2").arg(sites).arg(run));
    if (!makeRegister(folder, addresses, siteTemplate(), environment))
        return {};
    return measure(
        cli(),
        fleet(QStringLiteral("apply"), folder, {QStringLiteral("--jobs"), QString::number(sites)}),
        environment);
}

bool reportApply(int sites, const QTemporaryDir& scratch)
{
    std::printf("fleet apply of one template to fresh units behind one ser2net (RFC 2217), all "
                "at once; median of %d runs\n",
                kRuns);
    printHeader();
    double one = 0;
    for (const int count : {1, sites}) {
        std::vector<Measured> runs;
        for (int i = 0; i < kRuns; ++i)
            runs.push_back(applyOnce(count, scratch, i));
        const Measured run = median(runs);
        if (count == 1)
            one = run.wallSeconds;
        const QByteArray name = "apply, " + QByteArray::number(count) + " site(s)";
        printRow(name.constData(), run, one);
        if (run.exitCode != 0)
            return false;
        if (count == sites)
            std::printf("%d sites took %.3fx one: goal (at most %.1fx) %s\n", sites,
                        run.wallSeconds / one, kRunGoal,
                        run.wallSeconds / one <= kRunGoal ? "met" : "missed");
    }
    return true;
}

} // namespace

int main(int argc, char* argv[])
{
    QCoreApplication app(argc, argv);
    QTemporaryDir scratch;
    const QStringList arguments = app.arguments();
    const int sites = optionValue(arguments, QStringLiteral("--sites"), 200);
    const int proxied = optionValue(arguments, QStringLiteral("--proxied"), 20);
    const int commits = optionValue(arguments, QStringLiteral("--commits"), 1000);
    const int applySites = optionValue(arguments, QStringLiteral("--apply-sites"), 64);
    if (sites < 4 || proxied < 2 || proxied > sites - 3 || commits < 1 || applySites < 2) {
        std::fprintf(stderr, "bench_register [--sites N>=4] [--proxied 2..N-3] [--commits N] "
                             "[--apply-sites N>=2]\n");
        return 2;
    }
    if (!reportBackup(sites, proxied, commits, scratch)) {
        std::fprintf(stderr, "the backup could not be measured\n");
        return 1;
    }
    if (!reportApply(applySites, scratch)) {
        std::fprintf(stderr, "the apply could not be measured\n");
        return 1;
    }
    return 0;
}
