// tarvex-cli: the unit's configuration as a file — read, diff, apply with read-back.

#include "cli/commands.h"
#include "cli/exchange_log.h"
#include "cli/fleet_commands.h"
#include "cli/interruption.h"
#include "cli/invocation.h"
#include "cli/provisioning_loop.h"
#include "cli/standard_output.h"
#include "cli/standard_streams.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QJsonDocument>

#include <cstdio>

namespace {

using namespace tarvex::cli;

// The run's exit code, or 73 when its output was lost: a result nobody received is no "done".
int printResult(const Invocation& invocation, const Result& result)
{
    const std::optional<QString> lost = standard_output::write(
        invocation.json ? QJsonDocument(resultDocument(result)).toJson(QJsonDocument::Indented)
                        : result.plainOutput);
    if (!invocation.json && result.error)
        std::fprintf(stderr, "tarvex-cli: %s\n", qPrintable(result.error->message()));
    if (!lost)
        return int(result.exit);
    std::fprintf(stderr, "tarvex-cli: the result could not be written to standard output: %s\n",
                 qPrintable(*lost));
    return int(Exit::CannotWriteOutput);
}

bool showProgress(const Invocation& invocation)
{
    return standard_streams::errorIsTerminal() && !invocation.json && !invocation.quiet;
}

Result run(const Invocation& invocation)
{
    QElapsedTimer clock;
    clock.start();
    Result result;
    result.command = invocation.command;
    try {
        ExchangeLog log(invocation.tracePath, showProgress(invocation));
        try {
            runCommand(invocation, log, result);
            log.checkTrace();
        } catch (const Failure& failure) {
            log.note(QStringLiteral("failed: %1").arg(failure.message()));
            result.exchanges = log.exchanges();
            throw;
        }
        result.exchanges = log.exchanges();
    } catch (const Failure& failure) {
        result.fail(failure);
    }
    result.elapsedMs = clock.elapsed();
    return result;
}

// What a command line that asks for no run answers: --help and --version on stdout, a usage
// error on stderr.
template <typename Asked> int printInsteadOfRun(const ParsedLine<Asked>& parsed)
{
    std::fputs(qPrintable(parsed.text), parsed.exitCode == 0 ? stdout : stderr);
    return parsed.exitCode;
}

bool installInterruptions(QCoreApplication& app)
{
    if (interruption::install(app))
        return true;
    std::fputs("tarvex-cli: the system refused a handler for interruptions\n", stderr);
    return false;
}

// tarvex-cli fleet: the register of sites.
int runFleetProgram(QCoreApplication& app)
{
    const ParsedFleetLine parsed =
        parseFleetLine(app.arguments(), qEnvironmentVariable("TARVEX_FLEET"));
    if (!parsed.invocation && !parsed.usageProblem.isEmpty() &&
        app.arguments().contains(QStringLiteral("--json"))) {
        FleetInvocation asked;
        asked.json = true; // a script that asked for JSON gets it for a usage error too
        FleetOutcome outcome;
        outcome.exit = Exit::Usage;
        outcome.error = Failure(Exit::Usage, QStringLiteral("usage"), parsed.usageProblem);
        outcome.document = {{QStringLiteral("command"), QStringLiteral("fleet")},
                            {QStringLiteral("ok"), false},
                            {QStringLiteral("exit_code"), int(Exit::Usage)},
                            {QStringLiteral("error"), errorJson(outcome.error)}};
        return printFleetOutcome(asked, outcome);
    }
    if (!parsed.invocation)
        return printInsteadOfRun(parsed);
    if (!installInterruptions(app))
        return int(Exit::Unexpected);
    return printFleetOutcome(*parsed.invocation, runFleet(*parsed.invocation));
}

} // namespace

int main(int argc, char* argv[])
{
    standard_output::guard(); // before anything opens a file that could take stdout's number
    QCoreApplication app(argc, argv);
    QCoreApplication::setApplicationName(QStringLiteral("tarvex-cli"));
    QCoreApplication::setApplicationVersion(QStringLiteral(TARVEX_VERSION));

    if (app.arguments().value(1) == u"fleet")
        return runFleetProgram(app);
    const ParsedCommandLine parsed =
        parseCommandLine(app.arguments(), qEnvironmentVariable("TARVEX_DEVICE"));
    if (!parsed.invocation && !parsed.usageProblem.isEmpty() &&
        app.arguments().contains(QStringLiteral("--json"))) {
        Invocation asked;
        asked.json = true; // a script that asked for JSON gets it for a usage error too
        Result result;
        result.fail(Failure(Exit::Usage, QStringLiteral("usage"), parsed.usageProblem));
        printResult(asked, result);
        return parsed.exitCode;
    }
    if (!parsed.invocation)
        return printInsteadOfRun(parsed);
    if (!installInterruptions(app))
        return int(Exit::Unexpected);
    if (parsed.invocation->loop) // prints as it goes
        return ProvisioningLoop(*parsed.invocation, showProgress(*parsed.invocation)).run();
    return printResult(*parsed.invocation, run(*parsed.invocation));
}
