#include "cli/unit_choice.h"

#include "cli/exchange_log.h"
#include "cli/exit_codes.h"
#include "cli/interruption.h"
#include "discovery/port_scan.h"

namespace tarvex::cli {
namespace {

QString listed(const QList<discovery::FoundUnit>& units)
{
    QStringList lines;
    for (const auto& unit : units)
        lines << QStringLiteral("  port %1  %2  %3")
                     .arg(unit.portNumber)
                     .arg(unit.device.text(), unit.identity);
    return lines.join(u'\n');
}

} // namespace

link::PortMap portsToScan(const Invocation& invocation)
{
    if (!invocation.device.isEmpty())
        return link::PortMap::pinned({{link::kFirstPortNumber, invocation.device}});
    if (invocation.ports.isEmpty())
        return link::PortMap::system();
    QString error;
    const auto map = link::PortMap::fromPortOptions(invocation.ports, &error);
    if (!map)
        throw Failure(Exit::Usage, QStringLiteral("usage"), error);
    return *map;
}

discovery::Census censusOf(const Invocation& invocation, ExchangeLog& log)
{
    const discovery::Census census =
        discovery::takeCensus(portsToScan(invocation), invocation.replyWait);
    log.countExchanges(1);
    log.note(QStringLiteral("scan: %1 unit(s)%2")
                 .arg(census.units.size())
                 .arg(census.units.isEmpty() ? QString() : u'\n' + listed(census.units)));
    log.checkTrace();
    interruption::checkpoint();
    return census;
}

ChosenUnit chooseUnit(const Invocation& invocation, ExchangeLog& log)
{
    if (!invocation.device.isEmpty())
        return {invocation.device, {}};
    const discovery::Census census = censusOf(invocation, log);
    if (census.units.size() == 1)
        return {census.units.first().device, census.units.first().identity};
    if (census.units.size() > 1)
        throw Failure(Exit::Usage, QStringLiteral("several-units"),
                      QStringLiteral("%1 units answered; name one with --device:\n%2")
                          .arg(census.units.size())
                          .arg(listed(census.units)));
    failNoUnitFound(census, QStringLiteral("no unit answered on any serial port"));
}

void failNoUnitFound(const discovery::Census& census, const QString& saying)
{
    QString why;
    for (const QString& address : census.addressesWithout)
        why += QStringLiteral("\n  ") + address;
    if (!census.refusedForPermission.isEmpty())
        throw Failure(Exit::PermissionDenied, QStringLiteral("permission-denied"),
                      QStringLiteral("no unit answered. ") +
                          discovery::permissionHint(census.refusedForPermission) + why,
                      census.refusedForPermission.join(QStringLiteral(", ")));
    throw Failure(Exit::NoUnit, QStringLiteral("no-unit"), saying + why);
}

} // namespace tarvex::cli
