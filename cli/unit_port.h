#pragma once

#include "cli/exit_codes.h"
#include "link/line_port.h"
#include "link/link.h"
#include "provisioning/apply.h"
#include "provisioning/backup.h"
#include "provisioning/unit_session.h"

#include <QString>

#include <chrono>

namespace tarvex::cli {

class ExchangeLog;

// A lost line as the program's failure: exit 74.
Failure lineLostFailure(const provisioning::LostLine& line);
// What ended a run early as the program's failure.
Failure failureOf(const provisioning::Ending& ending);

// The port to the one unit a run talks to, its link, and the engine's strict reads and writes
// over that link. The engine's failures come out as the program's (exit codes), a lost line
// as exit 74, and Ctrl-C takes effect after the exchange in flight.
class UnitPort
{
public:
    UnitPort(const link::DeviceName& device, std::chrono::milliseconds replyWait, ExchangeLog& log);

    void open();        // exit 69 (no such device), 75 (busy) or 77 (no permission)
    QString identify(); // the identity; exit 69 when the reply is not a unit's
    QString device() const { return device_.text(); }

    // Called with each read's total before its first exchange, for the progress line.
    void onReadStart(std::function<void(int total)> started) { readStarted_ = std::move(started); }

    void read(const QList<provisioning::Item>& items, provisioning::UnitValues& into);
    provisioning::Backup readBackup(const QString& identity, bool withMessages);
    provisioning::ApplyOutcome apply(const provisioning::ManagedConfiguration& file,
                                     const QString& identity,
                                     const provisioning::WriteDecision& decide);

private:
    template <typename Step> auto onLine(Step step) -> decltype(step());
    bool progressed(int done, int total);

    link::DeviceName device_;
    ExchangeLog& log_;
    link::LinePort port_;
    link::Link link_;
    provisioning::UnitSession session_;
    std::function<void(int total)> readStarted_;
};

} // namespace tarvex::cli
