#include "discovery/unit_census.h"

#include "link/line_port.h"
#include "link/port_map.h"
#include "protocol/commands.h"
#include "protocol/replies.h"

#include <QEventLoop>
#include <QTimer>

#include <algorithm>
#include <memory>
#include <vector>

namespace tarvex::discovery {
namespace {

using Probes = std::vector<std::unique_ptr<link::LinePort>>;

void noteAddressWithout(const link::LinePort& port, const QString& why, Census& census)
{
    if (port.networkAddress())
        census.addressesWithout
            << QStringLiteral("port %1  %2: %3").arg(port.portNumber()).arg(port.deviceName(), why);
}

// Opens the port of each number and sends it the identify query; a port that does not open,
// or refuses the write, is left out.
Probes sendQueries(const link::PortMap& map, Census& census)
{
    Probes probes;
    for (const int number : map.scanNumbers()) {
        auto port = std::make_unique<link::LinePort>(map);
        port->SetPortNumber(number);
        if (!port->SetOpen(true)) {
            if (port->openRefusedForPermission())
                census.refusedForPermission << port->deviceName();
            noteAddressWithout(*port, port->errorString(), census);
            continue;
        }
        if (port->WriteText(protocol::identifyQuery()))
            probes.push_back(std::move(port));
        else
            noteAddressWithout(*port, port->errorString(), census);
    }
    return probes;
}

QString whyNoUnit(const link::LinePort& port, const std::optional<QString>& reply)
{
    if (!reply)
        return port.errorString();
    if (reply->isEmpty())
        return QStringLiteral("no unit answered");
    return QStringLiteral("what answered is no unit (%1)").arg(link::quotedExcerpt(*reply));
}

// One reply window for every port at once; the ports send and receive meanwhile.
void waitForReplies(std::chrono::milliseconds replyWait)
{
    QEventLoop loop;
    QTimer timer;
    timer.setSingleShot(true);
    timer.setTimerType(Qt::PreciseTimer);
    QObject::connect(&timer, &QTimer::timeout, &loop, &QEventLoop::quit);
    timer.start(replyWait);
    loop.exec();
}

} // namespace

Census takeCensus(const link::PortMap& map, std::chrono::milliseconds replyWait)
{
    Census census;
    Probes probes = sendQueries(map, census);
    if (probes.empty())
        return census;
    // Over a network a reply comes a round trip later: the slowest line sets the window.
    std::chrono::milliseconds slowest{};
    for (const auto& port : probes)
        slowest = std::max(slowest, port->replyDelay());
    waitForReplies(replyWait + slowest);
    for (const auto& port : probes) {
        const std::optional<QString> reply = port->ReadAll();
        if (reply && protocol::isIdentity(*reply))
            census.units.append({port->portNumber(), map.deviceFor(port->portNumber()),
                                 protocol::identityShown(*reply)});
        else
            noteAddressWithout(*port, whyNoUnit(*port, reply), census);
        port->SetOpen(false);
    }
    return census;
}

} // namespace tarvex::discovery
