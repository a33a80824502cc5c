#include "sim_fleet.h"

#include <QEventLoop>
#include <QFile>
#include <QTimer>

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

int optionValue(const QStringList& arguments, const QString& name, int fallback)
{
    const qsizetype at = arguments.indexOf(name);
    return at >= 0 && at + 1 < arguments.size() ? arguments[at + 1].toInt() : fallback;
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

int applyToAll(const QString& cli, const QString& file, const QStringList& devices,
               const std::function<void(const CliProcesses&)>& sample,
               std::chrono::milliseconds samplePeriod)
{
    CliProcesses clis;
    QEventLoop loop;
    int running = int(devices.size());
    int failed = 0;
    const auto ended = [&](bool ok) {
        failed += !ok;
        if (--running == 0)
            loop.quit();
    };
    for (const QString& device : devices) {
        QProcess* process = clis.emplace_back(std::make_unique<QProcess>()).get();
        process->setStandardOutputFile(QProcess::nullDevice());
        process->setProcessChannelMode(QProcess::ForwardedErrorChannel);
        QObject::connect(process, &QProcess::finished, &loop,
                         [ended](int exitCode, QProcess::ExitStatus status) {
                             ended(exitCode == 0 && status == QProcess::NormalExit);
                         });
        QObject::connect(process, &QProcess::errorOccurred, &loop,
                         [ended](QProcess::ProcessError error) {
                             if (error == QProcess::FailedToStart) // else finished follows
                                 ended(false);
                         });
        process->start(cli, {QStringLiteral("apply"), file, QStringLiteral("--device"), device,
                             QStringLiteral("--quiet")});
    }
    QTimer sampler;
    if (sample) {
        QObject::connect(&sampler, &QTimer::timeout, &loop, [&] { sample(clis); });
        sampler.start(samplePeriod);
    }
    if (running > 0) // a quit before exec() would be lost
        loop.exec();
    return failed;
}
