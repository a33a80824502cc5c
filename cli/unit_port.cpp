#include "cli/unit_port.h"

#include "cli/exchange_log.h"
#include "cli/exit_codes.h"
#include "cli/interruption.h"
#include "link/link_errors.h"
#include "provisioning/port_access.h"

namespace tarvex::cli {
namespace {

link::PortMap onlyDevice(const link::DeviceName& device)
{
    return link::PortMap::pinned({{link::kFirstPortNumber, device}});
}

} // namespace

Failure lineLostFailure(const provisioning::LostLine& line)
{
    return failureOf(provisioning::Failure(
        provisioning::Failure::Kind::LineLost,
        QStringLiteral("the line to the unit was lost: %1").arg(line.reason), line.device));
}

Failure failureOf(const provisioning::Ending& ending)
{
    if (const auto* lost = std::get_if<provisioning::LostLine>(&ending))
        return lineLostFailure(*lost);
    return failureOf(std::get<provisioning::Failure>(ending));
}

UnitPort::UnitPort(const link::DeviceName& device, std::chrono::milliseconds replyWait,
                   ExchangeLog& log)
    : device_(device), log_(log), port_(onlyDevice(device)), link_(port_, replyWait),
      session_(link_, device.text())
{
    log.watch(link_, device.text());
    session_.setProgress([this](int done, int total) { return progressed(done, total); });
}

bool UnitPort::progressed(int done, int total)
{
    if (done == 0 && readStarted_)
        readStarted_(total);
    log_.checkTrace(); // a trace that lost a line ends the run: the record would lie
    return !interruption::stopWanted();
}

// The engine's work on the line: a lost line is exit 74, every other failure the engine's.
template <typename Step> auto UnitPort::onLine(Step step) -> decltype(step())
{
    try {
        return engineStep(step);
    } catch (const link::LinkError& error) {
        // A line that ended as a busy server's refusal, or on a Telnet server behind tcp://,
        // failed as its open would have.
        if (port_.openRefusedAsHeld() || port_.speaksOtherProtocol())
            throw failureOf(provisioning::openFailure(device_, port_));
        throw lineLostFailure({device(), error.reason()});
    }
}

// A network line's open waits for a connection and the server's answers: Ctrl-C ends that
// wait at once.
void UnitPort::open()
{
    const QMetaObject::Connection interrupt = interruption::whenRequested(&port_, [this] {
        if (interruption::stopWanted())
            port_.abortWaits();
    });
    const bool opened = port_.SetOpen(true);
    QObject::disconnect(interrupt);
    if (opened)
        return;
    if (interruption::stopWanted())
        throw failureOf(provisioning::interruptedConnecting());
    throw failureOf(provisioning::openFailure(device_, port_));
}

QString UnitPort::identify()
{
    return onLine([&] { return session_.identify(); });
}

void UnitPort::read(const QList<provisioning::Item>& items, provisioning::UnitValues& into)
{
    onLine([&] { session_.read(items, into); });
}

provisioning::Backup UnitPort::readBackup(const QString& identity, bool withMessages)
{
    return onLine([&] { return provisioning::readBackup(session_, identity, withMessages); });
}

provisioning::ApplyOutcome UnitPort::apply(const provisioning::ManagedConfiguration& file,
                                           const QString& identity,
                                           const provisioning::WriteDecision& decide)
{
    return provisioning::apply(session_, file, identity, decide);
}

} // namespace tarvex::cli
