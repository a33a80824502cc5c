#include "sim_fleet.h"

#include <QFile>

#include <ctime>

#include <sys/resource.h>

namespace {
constexpr int kStartMs = 10000;
}

QStringList SimFleet::start(int count, const QTemporaryDir& scratch, const QStringList& options)
{
    QStringList devices;
    for (int i = 0; i < count; ++i) {
        auto& unit = units_.emplace_back(std::make_unique<QProcess>());
        const QString state = scratch.filePath(QStringLiteral("unit%1.json").arg(i));
        QFile::remove(state);
        unit->start(QStringLiteral(TARVEX_SIM_PATH),
                    QStringList{QStringLiteral("--state"), state} + options);
        if (!unit->waitForStarted(kStartMs))
            return {};
        while (!unit->canReadLine()) {
            if (!unit->waitForReadyRead(kStartMs))
                return {};
        }
        devices << QString::fromLocal8Bit(unit->readLine()).trimmed();
    }
    return devices;
}

void SimFleet::stop()
{
    for (auto& unit : units_)
        unit->terminate();
    for (auto& unit : units_)
        unit->waitForFinished();
    units_.clear();
}

double processCpuSeconds()
{
    timespec now{};
    clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &now);
    return double(now.tv_sec) + double(now.tv_nsec) / 1e9;
}

double childrenCpuSeconds()
{
    rusage usage{};
    getrusage(RUSAGE_CHILDREN, &usage);
    const auto seconds = [](const timeval& time) {
        return double(time.tv_sec) + double(time.tv_usec) / 1e6;
    };
    return seconds(usage.ru_utime) + seconds(usage.ru_stime);
}
