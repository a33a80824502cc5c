// tarvex-cli: the unit's configuration as a file — read, diff, apply with read-back.

#include "cli/commands.h"
#include "cli/exchange_log.h"
#include "cli/interruption.h"
#include "cli/invocation.h"
#include "cli/provisioning_loop.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QJsonDocument>

#include <cstdio>
#include <unistd.h>

namespace {

using namespace tarvex::cli;

void printResult(const Invocation& invocation, const Result& result)
{
    if (invocation.json) {
        std::fputs(QJsonDocument(resultDocument(result)).toJson(QJsonDocument::Indented), stdout);
        return;
    }
    std::fwrite(result.plainOutput.constData(), 1, size_t(result.plainOutput.size()), stdout);
    if (result.error)
        std::fprintf(stderr, "tarvex-cli: %s\n", qPrintable(result.error->message()));
}

bool showProgress(const Invocation& invocation)
{
    return ::isatty(STDERR_FILENO) && !invocation.json && !invocation.quiet;
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

// The loop prints as it goes; a loop that cannot start is reported as any failure is.
int runLoop(const Invocation& invocation)
{
    try {
        ExchangeLog log(invocation.tracePath, showProgress(invocation));
        return ProvisioningLoop(invocation, log).run();
    } catch (const Failure& failure) {
        Result result;
        result.command = invocation.command;
        result.fail(failure);
        printResult(invocation, result);
        return int(failure.code());
    }
}

} // namespace

int main(int argc, char* argv[])
{
    QCoreApplication app(argc, argv);
    QCoreApplication::setApplicationName(QStringLiteral("tarvex-cli"));
    QCoreApplication::setApplicationVersion(QStringLiteral(TARVEX_VERSION));

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
    if (!parsed.invocation) {
        std::fputs(qPrintable(parsed.text), parsed.exitCode == 0 ? stdout : stderr);
        return parsed.exitCode;
    }
    if (!interruption::install(app)) {
        std::perror("tarvex-cli: signals");
        return int(Exit::Unexpected);
    }
    if (parsed.invocation->loop)
        return runLoop(*parsed.invocation);
    const Result result = run(*parsed.invocation);
    printResult(*parsed.invocation, result);
    return int(result.exit);
}
