#pragma once

#include "cli/invocation.h"
#include "cli/result.h"
#include "provisioning/configuration_file.h"

namespace tarvex::cli {

class ExchangeLog;
class UnitPort;

// Runs the command, filling result; throws Failure when the run ends early.
void runCommand(const Invocation& invocation, ExchangeLog& log, Result& result);

// A warning in the result, and on stderr unless --quiet.
void warn(const Invocation& invocation, ExchangeLog& log, Result& result, const QString& text);

// ports and scan, which talk to no single unit.
void listPorts(const Invocation& invocation, Result& result);
void scanPorts(const Invocation& invocation, ExchangeLog& log, Result& result);

// The engine's apply, presented in result: exit 3 when something differs after the second
// write, and the failure that ended it otherwise. With check, writes nothing.
void applyConfiguration(UnitPort& session, const provisioning::ManagedConfiguration& file,
                        bool check, Result& result);

} // namespace tarvex::cli
