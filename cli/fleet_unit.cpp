#include "cli/fleet_unit.h"

#include "cli/exchange_log.h"
#include "cli/unit_port.h"
#include "provisioning/backup.h"

namespace tarvex::cli::fleet_unit {
namespace {

// Runs work on an open port to device, any failure kept in the run instead of thrown.
template <typename Work>
UnitRun onUnit(const link::DeviceName& device, std::chrono::milliseconds replyWait, Work work)
{
    UnitRun run;
    try {
        ExchangeLog log({}, false);
        UnitPort port(device, replyWait, log);
        port.open();
        run.identity = port.identify();
        work(port, run);
    } catch (const Failure& failure) {
        run.backup.reset();
        run.error = failure;
    }
    return run;
}

void readWhole(UnitPort& port, UnitRun& run)
{
    run.backup = port.readBackup(run.identity, true).text;
}

} // namespace

UnitRun backup(const link::DeviceName& device, std::chrono::milliseconds replyWait)
{
    return onUnit(device, replyWait, readWhole);
}

UnitRun apply(const link::DeviceName& device, std::chrono::milliseconds replyWait,
              const provisioning::ManagedConfiguration& file,
              const provisioning::WriteDecision& decide)
{
    return onUnit(device, replyWait, [&](UnitPort& port, UnitRun& run) {
        const provisioning::ApplyOutcome outcome = port.apply(file, run.identity, decide);
        run.differences = outcome.differences;
        run.written = outcome.written;
        namespace verdict = provisioning::verdict;
        std::visit(
            provisioning::Overloaded{
                [](const verdict::AlreadyEqual&) {}, [](const verdict::Declined&) {},
                [&](const verdict::Verified&) { readWhole(port, run); },
                [&](const verdict::StillDiffering&) {
                    throw failureOf(
                        provisioning::notVerified(outcome.stillDiffering, device.text()));
                },
                [](const verdict::FailedBeforeWriting& failed) { throw failureOf(failed.why); },
                [](const verdict::StoppedWhileWriting& stopped) { throw failureOf(stopped.why); },
                [](const verdict::LineLostWhileWriting& lost) {
                    throw lineLostFailure(lost.line);
                }},
            outcome.verdict);
    });
}

} // namespace tarvex::cli::fleet_unit
