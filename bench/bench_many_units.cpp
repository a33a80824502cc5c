// A bench PC provisions its units with one tarvex-cli per unit, all at once. This measures how the
// wall time grows with the number of units: each unit is its own tarvex-sim, each apply its own
// tarvex-cli with the real 200 ms reply wait, all started together. The waits use no CPU, so 16
// units should take hardly longer than one (goal: at most 1.2 times).
#include "sim_fleet.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>

#include <algorithm>
#include <cstdio>
#include <memory>
#include <vector>

namespace {

constexpr int kRuns = 3; // the median of three evens out the other engineers' builds
constexpr double kGoalRatio = 1.2;

// Numbers, the test number, three messages and the mask: most of what apply can write.
constexpr char kConfiguration[] = R"({
  "format": "tarvex-config",
  "version": 1,
  "phones": { "numbers": ["9800000000", "9811111111", "9822222222"], "test": "9899999999" },
  "events": {
    "power1_off_to_on": { "enabled": true, "message": "Power 1 is back" },
    "power1_on_to_off": { "enabled": true, "message": "Power 1 is off" },
    "test": { "enabled": true, "message": "Weekly test\nfrom the bench" }
  }
}
)";

struct Run
{
    double wallSeconds = 0;
    double cliCpuSeconds = 0;
    double simCpuSeconds = 0;
    int failed = 0;
};

Run measureRun(int units, const QString& file, const QTemporaryDir& scratch)
{
    Run run;
    SimFleet sims;
    const QStringList devices = sims.start(units, scratch);
    if (devices.size() != units) {
        run.failed = units;
        return run;
    }
    const double cpuBefore = childrenCpuSeconds();
    QElapsedTimer wall;
    wall.start();
    run.failed = applyToAll(QStringLiteral(TARVEX_CLI_PATH), file, devices);
    run.wallSeconds = double(wall.nsecsElapsed()) / 1e9;
    const double cpuAfterClis = childrenCpuSeconds();
    run.cliCpuSeconds = cpuAfterClis - cpuBefore;
    sims.stop();
    run.simCpuSeconds = childrenCpuSeconds() - cpuAfterClis;
    return run;
}

Run medianRun(int units, const QString& file, const QTemporaryDir& scratch)
{
    std::vector<Run> runs;
    for (int i = 0; i < kRuns; ++i)
        runs.push_back(measureRun(units, file, scratch));
    std::sort(runs.begin(), runs.end(),
              [](const Run& a, const Run& b) { return a.wallSeconds < b.wallSeconds; });
    return runs[runs.size() / 2];
}

} // namespace

int main(int argc, char* argv[])
{
    QCoreApplication app(argc, argv);
    QTemporaryDir scratch;
    const QString file = scratch.filePath(QStringLiteral("site.json"));
    QFile out(file);
    if (!out.open(QIODevice::WriteOnly) || out.write(kConfiguration) < 0)
        return 1;
    out.close();

    std::printf("apply of one file to N fresh units at once, median of %d runs\n", kRuns);
    std::printf("%6s %9s %9s %11s %11s %11s\n", "units", "wall s", "vs one", "cpu cli s",
                "cpu sim s", "cpu all s");
    double oneUnitSeconds = 0;
    double ratio = 0;
    for (const int units : {1, 4, 16}) {
        const Run run = medianRun(units, file, scratch);
        if (run.failed > 0) {
            std::fprintf(stderr, "%d of %d applies failed\n", run.failed, units);
            return 1;
        }
        if (units == 1)
            oneUnitSeconds = run.wallSeconds;
        ratio = run.wallSeconds / oneUnitSeconds;
        std::printf("%6d %9.3f %8.3fx %11.3f %11.3f %11.3f\n", units, run.wallSeconds, ratio,
                    run.cliCpuSeconds, run.simCpuSeconds, run.cliCpuSeconds + run.simCpuSeconds);
    }
    std::printf("16 units took %.3fx the time of one: goal (at most %.1fx) %s\n", ratio, kGoalRatio,
                ratio <= kGoalRatio ? "met" : "missed");
    return 0;
}
