#pragma once

#include "link/link.h"

#include <QList>
#include <QString>
#include <QStringList>

#include <chrono>

namespace tarvex::link {
class PortMap;
}

namespace tarvex::discovery {

struct FoundUnit
{
    int portNumber = 0;
    link::DeviceName device;
    QString identity; // as the window shows it: the first seven characters
};

struct Census
{
    QList<FoundUnit> units;           // in port order
    QStringList refusedForPermission; // devices the system would not let us open
    // Each network address that gave no unit, and why ("port 2  tcp://h:4001: no such host
    // \"h\""): an address was named on purpose, so its silence is worth a word.
    QStringList addressesWithout;
};

// Every unit on the map at once: opens every port that opens, sends each the identify query,
// waits one reply window for all of them together and keeps the ports whose reply begins with
// "KTX". Sixteen ports cost one wait instead of sixteen. Every port is closed again; failures
// are passed over as the window's scan passes over them.
Census takeCensus(const link::PortMap& map, std::chrono::milliseconds replyWait = link::kReplyWait);

} // namespace tarvex::discovery
