// tarvex-cli scan over N simulated units pinned with --port, N = 1, 4, 16, 64: every port gets
// its identify query at once and one 200 ms window serves them all, so the time should hardly
// grow with N (goal: at most 0.25 s for 64, against 12.8 s probing one port after another).
// Each open and close also creates and removes a lock file in /run/lock; where that folder is
// not a tmpfs (as it is on a standard Debian install) the disk's sync adds a few ms per port.
#include "sim_fleet.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>

#include <algorithm>
#include <cstdio>
#include <vector>

namespace {

constexpr int kRuns = 5;
constexpr double kGoalSeconds = 0.25;

struct Scan
{
    double seconds = 0;
    qsizetype found = 0;
};

// One scan from the program's start to its exit, as a script sees it.
Scan scanOnce(const QStringList& devices)
{
    QStringList arguments = {QStringLiteral("scan"), QStringLiteral("--json")};
    for (qsizetype i = 0; i < devices.size(); ++i)
        arguments << QStringLiteral("--port") << QStringLiteral("%1=%2").arg(i + 1).arg(devices[i]);
    QProcess cli;
    QElapsedTimer clock;
    clock.start();
    cli.start(QStringLiteral(TARVEX_CLI_PATH), arguments);
    cli.waitForFinished();
    Scan scan{double(clock.nsecsElapsed()) / 1e9, 0};
    const QJsonObject result = QJsonDocument::fromJson(cli.readAllStandardOutput()).object();
    scan.found = result.value(QStringLiteral("units")).toArray().size();
    return scan;
}

} // namespace

int main(int argc, char* argv[])
{
    QCoreApplication app(argc, argv);
    QTemporaryDir scratch;
    std::printf("tarvex-cli scan over N units, median of %d runs (process start to exit)\n", kRuns);
    std::printf("%6s %9s %7s\n", "units", "wall s", "found");
    double last = 0;
    for (const int units : {1, 4, 16, 64}) {
        SimFleet sims;
        const QStringList devices = sims.start(units, scratch);
        if (devices.size() != units) {
            std::fprintf(stderr, "could not start %d simulated units\n", units);
            return 1;
        }
        std::vector<Scan> scans;
        for (int run = 0; run < kRuns; ++run)
            scans.push_back(scanOnce(devices));
        std::sort(scans.begin(), scans.end(),
                  [](const Scan& a, const Scan& b) { return a.seconds < b.seconds; });
        const Scan median = scans[scans.size() / 2];
        if (median.found != units) {
            std::fprintf(stderr, "found %lld of %d units\n", qlonglong(median.found), units);
            return 1;
        }
        std::printf("%6d %9.3f %7lld\n", units, median.seconds, qlonglong(median.found));
        last = median.seconds;
    }
    std::printf("64 units in %.3f s: goal (at most %.2f s) %s\n", last, kGoalSeconds,
                last <= kGoalSeconds ? "met" : "missed");
    return 0;
}
