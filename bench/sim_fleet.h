#pragma once

#include <QProcess>
#include <QStringList>
#include <QTemporaryDir>

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

// CPU seconds this process has used so far.
double processCpuSeconds();

// User plus system time of the children that have ended and been waited for.
double childrenCpuSeconds();
