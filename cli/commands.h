#pragma once

#include "cli/invocation.h"
#include "cli/result.h"

namespace tarvex::cli {

class ExchangeLog;

// Runs the command, filling result; throws Failure when the run ends early.
void runCommand(const Invocation& invocation, ExchangeLog& log, Result& result);

// ports and scan, which talk to no single unit.
void listPorts(const Invocation& invocation, Result& result);
void scanPorts(const Invocation& invocation, ExchangeLog& log, Result& result);

} // namespace tarvex::cli
