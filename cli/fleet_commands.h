#pragma once

#include "cli/exit_codes.h"
#include "cli/fleet_invocation.h"

#include <QByteArray>
#include <QJsonObject>

#include <optional>

namespace tarvex::cli {

// What a fleet command did: its document for --json, its text for people, its exit code.
struct FleetOutcome
{
    QJsonObject document;
    QByteArray plain;
    Exit exit = Exit::Done;
    std::optional<Failure> error; // the failure that ended the run, when one did
};

// Runs the command; the register's and the engine's failures end up in the outcome.
FleetOutcome runFleet(const FleetInvocation& invocation);

// Prints the outcome (one JSON document with --json) and gives the exit code: 73 when the
// output was lost.
int printFleetOutcome(const FleetInvocation& invocation, const FleetOutcome& outcome);

} // namespace tarvex::cli
