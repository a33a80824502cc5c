#pragma once

#include "cli/exit_codes.h"
#include "link/device_name.h"
#include "provisioning/apply.h"
#include "provisioning/configuration_file.h"

#include <QByteArray>
#include <QString>

#include <chrono>
#include <optional>

// The register's one door to the engine: a site's unit read whole, or given a file with
// read-back, over a port of its own. Safe to call on any thread with an event loop, one call
// per thread at a time, for every object it makes lives inside the call.
namespace tarvex::cli::fleet_unit {

struct UnitRun
{
    QString identity;
    std::optional<QByteArray> backup;        // the whole unit as read -o writes it
    QList<provisioning::Change> differences; // apply: the unit against the file, before writing
    QList<provisioning::Change> written;     // apply: acknowledged and verified
    std::optional<Failure> error;            // nothing: every step succeeded
};

// A strict read of everything; backup only when complete.
UnitRun backup(const link::DeviceName& device, std::chrono::milliseconds replyWait);

// The engine's apply of file with read-back; when decide wrote, a whole read afterwards, so
// that the register records what the unit holds now.
UnitRun apply(const link::DeviceName& device, std::chrono::milliseconds replyWait,
              const provisioning::ManagedConfiguration& file,
              const provisioning::WriteDecision& decide);

} // namespace tarvex::cli::fleet_unit
