#pragma once

#include "cli/exit_codes.h"
#include "cli/invocation.h"
#include "cli/result.h"
#include "provisioning/configuration_file.h"

#include <QFile>
#include <QJsonObject>
#include <QList>

#include <chrono>
#include <memory>
#include <optional>

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
    ProvisioningLoop(const Invocation& invocation, bool showProgress);
    ~ProvisioningLoop();

    // Prints as it goes, and a summary at every ending (the count reached, Ctrl-C, a fatal
    // failure); the exit code: 0 only when every unit succeeded and the loop was not cut short.
    int run();

private:
    struct FailedUnit
    {
        int unit = 0;
        QString identity;
        Exit code = Exit::Unexpected;
    };

    void start(); // what a loop needs before its first unit; a Failure ends it there
    std::unique_ptr<UnitPort> waitForUnit(QString& identity);
    void waitUntilGone(UnitPort& session);
    Result provision(UnitPort& session, const QString& identity);
    // The unit's report line and its line on stdout; a Failure (exit 73) naming the unit when
    // either was lost, so that no further unit is provisioned without its record.
    void record(const Result& result);
    std::optional<QString> announce(const Result& result);
    std::optional<QString> appendToReport(const Result& result);
    // The summary: a line on stdout, or with --json a document on stdout and the line on
    // stderr. The exit code, 73 when the summary was lost.
    int printSummary();
    QString summaryText() const;
    QJsonObject summaryDocument(int code) const;
    int exitCode() const;
    bool wanted() const; // more units to do

    const Invocation& invocation_;
    bool showProgress_ = false;
    std::unique_ptr<ExchangeLog> log_;
    provisioning::ManagedConfiguration file_;
    link::DeviceName device_;
    std::shared_ptr<QFile> report_;
    int units_ = 0;
    int written_ = 0;
    QList<FailedUnit> failures_;
    std::optional<Failure> fatal_;
};

// The one port a loop watches: --device, a single --port, TARVEX_DEVICE, or the system's
// only port. Exit 64 otherwise.
link::DeviceName loopDevice(const Invocation& invocation);

} // namespace tarvex::cli
