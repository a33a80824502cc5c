#pragma once

#include "cli/invocation.h"
#include "cli/result.h"
#include "provisioning/configuration_file.h"

namespace tarvex::cli {

class ExchangeLog;
class UnitPort;

// Runs the command, filling result; throws Failure when the run ends early.
void runCommand(const Invocation& invocation, ExchangeLog& log, Result& result);

// ports and scan, which talk to no single unit.
void listPorts(const Invocation& invocation, Result& result);
void scanPorts(const Invocation& invocation, ExchangeLog& log, Result& result);

// The whole file validated: exit 66 when it cannot be read, 65 with every broken rule.
provisioning::ManagedConfiguration loadConfigurationFile(const QString& path);

// Compares, writes only what differs, verifies by reading back, and writes once more what
// still differs; exit 3 when something differs after that. With check, writes nothing.
void applyConfiguration(UnitPort& session, const provisioning::ManagedConfiguration& file,
                        bool check, Result& result);

} // namespace tarvex::cli
