#pragma once

#include <QProcess>
#include <QStringList>
#include <QTemporaryDir>

#include <chrono>
#include <functional>
#include <memory>
#include <vector>

// Simulated units for the benchmarks: tarvex-sim processes, each with fresh memory.
class SimFleet
{
public:
    ~SimFleet() { stop(); }

    // Starts count units; their devices, or nothing when one did not start.
    QStringList start(int count, const QTemporaryDir& scratch, const QStringList& options = {});
    void stop();

private:
    std::vector<std::unique_ptr<QProcess>> units_;
};

using CliProcesses = std::vector<std::unique_ptr<QProcess>>;

// Starts `cli apply file --device DEVICE --quiet` for every device together and blocks in an
// event loop until the last has ended, calling sample every samplePeriod meanwhile when given.
// Returns how many failed (or did not start).
int applyToAll(const QString& cli, const QString& file, const QStringList& devices,
               const std::function<void(const CliProcesses&)>& sample = {},
               std::chrono::milliseconds samplePeriod = std::chrono::milliseconds(100));

// The number given after name on the command line ("--sites 200"), or fallback.
int optionValue(const QStringList& arguments, const QString& name, int fallback);

// CPU seconds this process has used so far.
double processCpuSeconds();

// User plus system time of the children that have ended and been waited for.
double childrenCpuSeconds();
