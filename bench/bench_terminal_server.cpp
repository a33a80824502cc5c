// Units behind a terminal server, applied from one controller. Three measurements:
//  - a fleet: 64 tarvex-sim units behind ONE ser2net (RFC 2217), one tarvex-cli per unit, all at
//    once, against the same apply to one unit behind it (goal: at most 1.2 times); the CLIs'
//    CPU time and memory;
//  - the cost of an exchange, in both modes, on loopback and through a proxy adding 150 ms each
//    way, against the 200 ms + round-trip window each exchange waits (goal: at most 1.05 times);
//  - with --runs N: only N runs of apply --check, apply and read through that proxy, spread over
//    units side by side, each read compared with the file applied: no bad reply, no wrong value.
#include "sim_fleet.h"
#include "terminal_servers.h"
#include "traced_exchanges.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QTimer>

#include <algorithm>
#include <cstdio>
#include <mutex>
#include <thread>

namespace {

constexpr int kFleetUnits = 64;
constexpr int kFleetRuns = 3; // the median evens out the other engineers' builds
constexpr double kFleetGoal = 1.2;
constexpr double kExchangeGoal = 1.05;
constexpr int kWanDelayMs = 150;
constexpr int kMemorySampleMs = 100;
constexpr int kDefaultParallel = 8;

// --- one tarvex-cli -------------------------------------------------------------------------

struct CliResult
{
    int exitCode = -1;
    QJsonObject document;
};

CliResult runCli(const QStringList& arguments)
{
    QProcess cli;
    cli.setProcessChannelMode(QProcess::SeparateChannels);
    cli.start(QStringLiteral(TARVEX_CLI_PATH), arguments + QStringList{QStringLiteral("--json")});
    cli.waitForFinished(-1);
    CliResult result;
    result.exitCode = cli.exitStatus() == QProcess::NormalExit ? cli.exitCode() : -1;
    result.document = QJsonDocument::fromJson(cli.readAllStandardOutput()).object();
    return result;
}

QString errorKind(const CliResult& result)
{
    return result.document.value(QStringLiteral("error"))[QStringLiteral("kind")].toString();
}

// --- the fleet ------------------------------------------------------------------------------

// The memory of the running CLIs, from /proc every 100 ms: the largest sum of their resident
// sizes (shared libraries counted in each), of their proportional sizes (shared pages split
// among the processes that share them), and the largest one's peak.
class MemoryWatch
{
public:
    void sample(const std::vector<std::unique_ptr<QProcess>>& clis)
    {
        double rss = 0;
        double pss = 0;
        for (const auto& cli : clis) {
            const qint64 pid = cli->processId();
            if (pid <= 0)
                continue;
            rss += kilobytes(pid, "status", "VmRSS:");
            pss += kilobytes(pid, "smaps_rollup", "Pss:");
            largestPeakMb = std::max(largestPeakMb, kilobytes(pid, "status", "VmHWM:") / 1024);
        }
        peakRssSumMb = std::max(peakRssSumMb, rss / 1024);
        peakPssSumMb = std::max(peakPssSumMb, pss / 1024);
    }
    double peakRssSumMb = 0;
    double peakPssSumMb = 0;
    double largestPeakMb = 0;

private:
    static double kilobytes(qint64 pid, const char* file, const char* field)
    {
        QFile proc(QStringLiteral("/proc/%1/%2").arg(pid).arg(QLatin1StringView(file)));
        if (!proc.open(QIODevice::ReadOnly))
            return 0;
        for (const QByteArray& row : proc.readAll().split('\n')) {
            if (row.startsWith(field))
                return row.mid(qsizetype(qstrlen(field))).trimmed().split(' ').first().toDouble();
        }
        return 0;
    }
};

struct FleetRun
{
    double wallSeconds = 0;
    double cliCpuSeconds = 0;
    double serverCpuSeconds = 0; // ser2net and the simulators
    MemoryWatch memory;
    int failed = 0;
};

FleetRun applyBehindOneServer(int units, const QString& file, const QTemporaryDir& scratch)
{
    FleetRun run;
    SimFleet sims;
    Ser2netServer server;
    const QStringList devices = sims.start(units, scratch);
    if (devices.size() != units || !server.start(devices, scratch)) {
        run.failed = units;
        return run;
    }
    QStringList addresses;
    for (int i = 0; i < units; ++i)
        addresses << server.address(i, true);
    const double cpuBefore = childrenCpuSeconds();
    QElapsedTimer wall;
    wall.start();
    run.failed = applyToAll(
        QStringLiteral(TARVEX_CLI_PATH), file, addresses,
        [&run](const CliProcesses& clis) { run.memory.sample(clis); },
        std::chrono::milliseconds(kMemorySampleMs));
    run.wallSeconds = double(wall.nsecsElapsed()) / 1e9;
    const double cpuAfterClis = childrenCpuSeconds();
    run.cliCpuSeconds = cpuAfterClis - cpuBefore;
    server.stop();
    sims.stop();
    run.serverCpuSeconds = childrenCpuSeconds() - cpuAfterClis;
    return run;
}

FleetRun medianFleetRun(int units, const QString& file, const QTemporaryDir& scratch)
{
    std::vector<FleetRun> runs;
    for (int i = 0; i < kFleetRuns; ++i)
        runs.push_back(applyBehindOneServer(units, file, scratch));
    std::sort(runs.begin(), runs.end(),
              [](const FleetRun& a, const FleetRun& b) { return a.wallSeconds < b.wallSeconds; });
    return runs[runs.size() / 2];
}

bool reportFleet(const QString& file, const QTemporaryDir& scratch)
{
    std::printf("apply of the example file to fresh units behind one ser2net (RFC 2217), "
                "median of %d runs\n",
                kFleetRuns);
    std::printf("%6s %8s %8s %10s %11s %12s %12s %12s\n", "units", "wall s", "vs one", "cpu cli s",
                "cpu srv s", "rss sum MB", "pss sum MB", "max rss MB");
    double oneSeconds = 0;
    double ratio = 0;
    for (const int units : {1, kFleetUnits}) {
        const FleetRun run = medianFleetRun(units, file, scratch);
        if (run.failed > 0) {
            std::fprintf(stderr, "%d of %d applies failed\n", run.failed, units);
            return false;
        }
        if (units == 1)
            oneSeconds = run.wallSeconds;
        ratio = run.wallSeconds / oneSeconds;
        std::printf("%6d %8.3f %7.3fx %10.3f %11.3f %12.1f %12.1f %12.1f\n", units, run.wallSeconds,
                    ratio, run.cliCpuSeconds, run.serverCpuSeconds, run.memory.peakRssSumMb,
                    run.memory.peakPssSumMb, run.memory.largestPeakMb);
    }
    std::printf("%d units took %.3fx the time of one: goal (at most %.1fx) %s\n\n", kFleetUnits,
                ratio, kFleetGoal, ratio <= kFleetGoal ? "met" : "missed");
    return true;
}

// --- the cost of an exchange ----------------------------------------------------------------

struct Line
{
    const char* name;
    bool rfc2217;
    int delayMs; // each way, added by the proxy; 0: straight to ser2net
};

// Raw TCP through a proxy measures the proxy's own handshake, so its round trip is given.
QString addressOf(const Line& line, int unit, const Ser2netServer& server, DelayProxies& proxies)
{
    if (line.delayMs == 0)
        return server.address(unit, line.rfc2217);
    const quint16 port = proxies.start(server.port(unit, line.rfc2217), line.delayMs);
    if (line.rfc2217)
        return QStringLiteral("rfc2217://127.0.0.1:%1").arg(port);
    return QStringLiteral("tcp://127.0.0.1:%1?delay=%2").arg(port).arg(2 * line.delayMs);
}

double reportCommand(const Line& line, const char* command, const QStringList& arguments,
                     const QString& trace)
{
    QFile::remove(trace);
    const CliResult result = runCli(arguments + QStringList{QStringLiteral("--trace"), trace});
    const Exchanges exchanges = exchangesIn(trace);
    if (result.exitCode != 0 || exchanges.count == 0) {
        std::printf("%-22s %-6s failed: exit %d, %s\n", line.name, command, result.exitCode,
                    qPrintable(errorKind(result)));
        return -1;
    }
    const double elapsedMs = result.document.value(QStringLiteral("elapsed_ms")).toDouble();
    std::printf("%-22s %-6s %5d %8d %9.1f %9.1f %8.4fx %9.0f\n", line.name, command,
                exchanges.count, exchanges.lineDelayMs, exchanges.waitMs / exchanges.count,
                exchanges.spanMs / exchanges.count, exchanges.ratio(),
                elapsedMs - exchanges.spanMs);
    return exchanges.ratio();
}

double reportLine(const Line& line, const QTemporaryDir& scratch)
{
    SimFleet sims;
    Ser2netServer server;
    DelayProxies proxies;
    const QStringList devices = sims.start(1, scratch);
    if (devices.size() != 1 || !server.start(devices, scratch))
        return -1;
    const QString address = addressOf(line, 0, server, proxies);
    const QString trace = scratch.filePath(QStringLiteral("exchange.trace"));
    const double apply =
        reportCommand(line, "apply",
                      {QStringLiteral("apply"), QStringLiteral(TARVEX_EXAMPLE_CONFIG),
                       QStringLiteral("--device"), address},
                      trace);
    const double read = reportCommand(
        line, "read", {QStringLiteral("read"), QStringLiteral("--device"), address}, trace);
    return apply < 0 || read < 0 ? -1 : std::max(apply, read);
}

bool reportExchangeCost(const QTemporaryDir& scratch)
{
    std::printf("each exchange against its window (200 ms + line delay), one fresh unit\n");
    std::printf("%-22s %-6s %5s %8s %9s %9s %9s %9s\n", "line", "run", "exch", "delay ms",
                "wait ms", "took ms", "ratio", "open ms");
    double worst = 0;
    for (const Line& line : {Line{"rfc2217 loopback", true, 0}, Line{"tcp loopback", false, 0},
                             Line{"rfc2217 +150 ms", true, kWanDelayMs},
                             Line{"tcp ?delay=300 +150 ms", false, kWanDelayMs}}) {
        const double ratio = reportLine(line, scratch);
        if (ratio < 0)
            return false;
        worst = std::max(worst, ratio);
    }
    std::printf("time per exchange at most %.4fx its window: goal (at most %.2fx) %s\n", worst,
                kExchangeGoal, worst <= kExchangeGoal ? "met" : "missed");
    return true;
}

// --- runs through the wide-area proxy -------------------------------------------------------

// Whether every value of the applied file is what the read found; the read holds more.
bool holds(const QJsonValue& read, const QJsonValue& applied)
{
    if (!applied.isObject())
        return read == applied;
    const QJsonObject wanted = applied.toObject();
    const QJsonObject found = read.toObject();
    for (auto it = wanted.begin(); it != wanted.end(); ++it) {
        if (it.key() != QLatin1String("format") && it.key() != QLatin1String("version") &&
            !holds(found.value(it.key()), it.value()))
            return false;
    }
    return true;
}

QJsonObject exampleFile()
{
    QFile file(QStringLiteral(TARVEX_EXAMPLE_CONFIG));
    return file.open(QIODevice::ReadOnly) ? QJsonDocument::fromJson(file.readAll()).object()
                                          : QJsonObject{};
}

// Other numbers and texts than the example, one of them with the Latin-1 "ÿ" (0xFF, Telnet's
// command byte), so that every run writes.
QJsonObject otherFile(QJsonObject file)
{
    QJsonObject phones = file.value(QStringLiteral("phones")).toObject();
    phones[QStringLiteral("numbers")] =
        QJsonArray{QStringLiteral("9855555555"), QStringLiteral("9866666666")};
    phones[QStringLiteral("test")] = QStringLiteral("9877777777");
    file[QStringLiteral("phones")] = phones;
    QJsonObject events = file.value(QStringLiteral("events")).toObject();
    for (auto it = events.begin(); it != events.end(); ++it) {
        QJsonObject event = it.value().toObject();
        if (event.contains(QStringLiteral("message")))
            event[QStringLiteral("message")] =
                QStringLiteral("Site B: ") + event.value(QStringLiteral("message")).toString();
        it.value() = event;
    }
    QJsonObject test = events.value(QStringLiteral("test")).toObject();
    test[QStringLiteral("message")] = QString::fromLatin1("Netz \xff Test");
    events[QStringLiteral("test")] = test;
    file[QStringLiteral("events")] = events;
    return file;
}

struct Tally
{
    int runs = 0;
    int passed = 0;
    int badReplies = 0;
    std::vector<double> ratios; // one per command
    QStringList failures;
};

// One run: apply --check, apply and read of file, each with its trace; true when all three
// succeed and the read holds what was applied.
bool runOnce(const QString& address, const QString& path, const QJsonObject& file,
             const QString& trace, Tally& tally)
{
    const QStringList device = {QStringLiteral("--device"), address};
    const QList<QStringList> commands = {
        QStringList{QStringLiteral("apply"), path, QStringLiteral("--check")} + device,
        QStringList{QStringLiteral("apply"), path} + device,
        QStringList{QStringLiteral("read")} + device};
    bool ok = true;
    for (const QStringList& command : commands) {
        QFile::remove(trace);
        const CliResult result = runCli(command + QStringList{QStringLiteral("--trace"), trace});
        tally.ratios.push_back(exchangesIn(trace).ratio());
        tally.badReplies += errorKind(result) == QLatin1String("bad-reply");
        const bool readHolds = command.first() != QLatin1String("read") ||
                               holds(result.document.value(QStringLiteral("configuration")), file);
        if (result.exitCode != 0 || !readHolds) {
            tally.failures << QStringLiteral("%1 %2: exit %3 %4%5")
                                  .arg(address, command.first())
                                  .arg(result.exitCode)
                                  .arg(errorKind(result), readHolds ? "" : " wrong values");
            ok = false;
        }
    }
    return ok;
}

// One unit's share of the runs, one after another, the two files in turn.
void runUnit(int unit, int runs, const QString& address, const QTemporaryDir& scratch, Tally& tally)
{
    const QJsonObject files[] = {exampleFile(), otherFile(exampleFile())};
    QString paths[2];
    for (int i = 0; i < 2; ++i) {
        paths[i] = scratch.filePath(QStringLiteral("unit%1-file%2.json").arg(unit).arg(i));
        QFile out(paths[i]);
        if (!out.open(QIODevice::WriteOnly) || out.write(QJsonDocument(files[i]).toJson()) < 0)
            return;
    }
    const QString trace = scratch.filePath(QStringLiteral("unit%1.trace").arg(unit));
    for (int run = 0; run < runs; ++run) {
        ++tally.runs;
        tally.passed += runOnce(address, paths[run % 2], files[run % 2], trace, tally);
    }
}

double median(std::vector<double> values)
{
    if (values.empty())
        return 0;
    std::sort(values.begin(), values.end());
    return values[values.size() / 2];
}

// Units alternate between RFC 2217 and raw TCP (its round trip given), each behind its own
// proxy; each unit's runs go in a thread of its own, every tarvex-cli waited for by the OS.
bool reportRuns(int runs, int parallel, const QTemporaryDir& scratch)
{
    parallel = std::min(parallel, runs);
    SimFleet sims;
    Ser2netServer server;
    DelayProxies proxies;
    const QStringList devices = sims.start(parallel, scratch);
    if (devices.size() != parallel || !server.start(devices, scratch))
        return false;
    std::vector<Tally> tallies(static_cast<size_t>(parallel));
    std::vector<std::thread> workers;
    QElapsedTimer wall;
    wall.start();
    for (int unit = 0; unit < parallel; ++unit) {
        const Line line{"", unit % 2 == 0, kWanDelayMs};
        const QString address = addressOf(line, unit, server, proxies);
        const int share = runs / parallel + (unit < runs % parallel ? 1 : 0);
        workers.emplace_back([=, &scratch, &tallies] {
            runUnit(unit, share, address, scratch, tallies[size_t(unit)]);
        });
    }
    for (auto& worker : workers)
        worker.join();
    for (int mode = 0; mode < 2; ++mode) {
        Tally sum;
        for (int unit = mode; unit < parallel; unit += 2) {
            const Tally& tally = tallies[size_t(unit)];
            sum.runs += tally.runs;
            sum.passed += tally.passed;
            sum.badReplies += tally.badReplies;
            sum.ratios.insert(sum.ratios.end(), tally.ratios.begin(), tally.ratios.end());
            sum.failures += tally.failures;
        }
        const auto worst = std::max_element(sum.ratios.begin(), sum.ratios.end());
        std::printf("%-24s %3d of %3d runs passed, %d bad replies, per exchange %.4fx median, "
                    "%.4fx worst\n",
                    mode == 0 ? "rfc2217 +150 ms" : "tcp ?delay=300 +150 ms", sum.passed, sum.runs,
                    sum.badReplies, median(sum.ratios), worst == sum.ratios.end() ? 0.0 : *worst);
        for (const QString& failure : sum.failures)
            std::printf("  %s\n", qPrintable(failure));
    }
    std::printf("%d runs (apply --check, apply, read each) on %d units side by side: %.0f s\n",
                runs, parallel, double(wall.elapsed()) / 1000);
    return true;
}

} // namespace

int main(int argc, char* argv[])
{
    QCoreApplication app(argc, argv);
    QTemporaryDir scratch;
    const QStringList arguments = app.arguments();
    const int runs = optionValue(arguments, QStringLiteral("--runs"), 0);
    if (runs > 0) {
        std::printf("apply --check, apply and read through a proxy adding %d ms each way\n",
                    kWanDelayMs);
        return reportRuns(runs,
                          optionValue(arguments, QStringLiteral("--parallel"), kDefaultParallel),
                          scratch)
                   ? 0
                   : 1;
    }
    const QString file = QStringLiteral(TARVEX_EXAMPLE_CONFIG);
    return reportFleet(file, scratch) && reportExchangeCost(scratch) ? 0 : 1;
}
