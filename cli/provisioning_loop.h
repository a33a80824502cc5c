#pragma once

#include "cli/invocation.h"
#include "cli/result.h"
#include "provisioning/configuration_file.h"

#include <QFile>
#include <QStringList>

#include <chrono>
#include <memory>

namespace tarvex::cli {

class ExchangeLog;
class UnitPort;

// apply --loop: provisions unit after unit on one port, unattended. Waits for a unit (a probe
// every half second; the device may vanish and come back with the next unit), applies the
// file as apply does, reports the unit, then waits until that unit is gone, so that a unit
// left plugged in is never provisioned twice.
class ProvisioningLoop
{
public:
    ProvisioningLoop(const Invocation& invocation, ExchangeLog& log);
    ~ProvisioningLoop();

    // Prints as it goes; the exit code: 0 only when every unit succeeded.
    int run();

private:
    std::unique_ptr<UnitPort> waitForUnit(QString& identity);
    void waitUntilGone(UnitPort& session);
    Result provision(UnitPort& session, const QString& identity);
    void announce(const Result& result);
    void appendToReport(const Result& result);
    void printSummary();
    bool wanted() const; // more units to do

    const Invocation& invocation_;
    ExchangeLog& log_;
    provisioning::ManagedConfiguration file_;
    QString device_;
    QFile report_;
    int units_ = 0;
    int written_ = 0;
    QStringList failures_;
    int firstFailureCode_ = 0;
};

// The one port a loop watches: --device, a single --port, TARVEX_DEVICE, or the system's
// only port. Exit 64 otherwise.
QString loopDevice(const Invocation& invocation);

} // namespace tarvex::cli
