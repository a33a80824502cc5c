// The overhead of apply --loop per unit: the time from starting the loop on a port with a unit
// to the unit's result line, against the sum of the 200 ms reply windows of its exchanges (the
// identify query that found the unit included). Everything else the program does per unit
// should add at most 5 % (goal: at most 1.05 x). Measured for a fresh unit (reads, writes and
// read-backs) and for one that already holds the file (reads only).
#include "sim_fleet.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>

#include <cstdio>

namespace {

constexpr double kWindowSeconds = 0.2;
constexpr double kGoalRatio = 1.05;

struct Unit
{
    double seconds = 0;
    int exchanges = 0;
    bool ok = false;
};

Unit provisionOne(const QString& file, const QString& device)
{
    QProcess loop;
    QElapsedTimer clock;
    clock.start();
    loop.start(QStringLiteral(TARVEX_CLI_PATH),
               {QStringLiteral("apply"), file, QStringLiteral("--loop"), QStringLiteral("--count"),
                QStringLiteral("1"), QStringLiteral("--json"), QStringLiteral("--device"), device});
    while (!loop.canReadLine() && loop.waitForReadyRead(60000)) {
    }
    Unit unit;
    unit.seconds = double(clock.nsecsElapsed()) / 1e9;
    const QJsonObject result = QJsonDocument::fromJson(loop.readLine()).object();
    unit.exchanges = result.value(QStringLiteral("exchanges")).toInt();
    unit.ok = result.value(QStringLiteral("ok")).toBool();
    loop.waitForFinished();
    return unit;
}

} // namespace

int main(int argc, char* argv[])
{
    QCoreApplication app(argc, argv);
    QTemporaryDir scratch;
    SimFleet sims;
    const QStringList devices = sims.start(1, scratch);
    if (devices.size() != 1)
        return 1;
    std::printf("%-22s %10s %10s %10s %8s\n", "unit", "exchanges", "windows s", "took s", "ratio");
    double worst = 0;
    for (const char* kind : {"fresh (writes)", "as the file (reads)"}) {
        const Unit unit = provisionOne(QStringLiteral(TARVEX_EXAMPLE_CONFIG), devices.first());
        if (!unit.ok || unit.exchanges == 0) {
            std::fprintf(stderr, "the loop did not provision the unit\n");
            return 1;
        }
        const double windows = unit.exchanges * kWindowSeconds;
        const double ratio = unit.seconds / windows;
        worst = std::max(worst, ratio);
        std::printf("%-22s %10d %10.3f %10.3f %7.4fx\n", kind, unit.exchanges, windows,
                    unit.seconds, ratio);
    }
    std::printf("overhead per unit at most %.4fx: goal (at most %.2fx) %s\n", worst, kGoalRatio,
                worst <= kGoalRatio ? "met" : "missed");
    return 0;
}
