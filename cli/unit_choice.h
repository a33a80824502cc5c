#pragma once

#include "cli/invocation.h"
#include "discovery/unit_census.h"
#include "link/port_map.h"

namespace tarvex::cli {

class ExchangeLog;

// The ports a scan goes over: the named device alone, the --port numbers, or the system's.
// Exit 64 when a --port value is wrong.
link::PortMap portsToScan(const Invocation& invocation);

// Every unit on those ports, all probed at once.
discovery::Census censusOf(const Invocation& invocation, ExchangeLog& log);

struct ChosenUnit
{
    link::DeviceName device;
    QString identity; // empty until the unit has answered the identify query
};

// A census that found no unit, as the run's failure: exit 77 with the devices refused for lack
// of permission, when any was, 69 otherwise; saying is the text for the second, and each
// network address is named with why it gave nothing.
[[noreturn]] void failNoUnitFound(const discovery::Census& census, const QString& saying);

// The unit this run talks to: the named device, or the one unit a scan finds. Exit 69 when
// none answers (77 when a device was refused for lack of permission), 64 when several answer.
ChosenUnit chooseUnit(const Invocation& invocation, ExchangeLog& log);

} // namespace tarvex::cli
