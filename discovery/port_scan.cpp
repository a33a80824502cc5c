#include "discovery/port_scan.h"

#include "link/link.h"
#include "link/link_errors.h"
#include "link/port_map.h"
#include "protocol/commands.h"
#include "protocol/replies.h"

#include <array>

namespace tarvex::discovery {
namespace {

using link::kFirstPortNumber;
using link::kLastPortNumber;
using PortOk = std::array<bool, kLastPortNumber + 1>;

PortOk findOpenablePorts(link::Port& cm, QStringList& refused)
{
    PortOk blnPortOk{};
    for (int intLoop = kFirstPortNumber; intLoop <= kLastPortNumber; ++intLoop) {
        cm.SetPortNumber(intLoop);
        cm.SetOpen(true);
        blnPortOk[intLoop] = cm.IsOpen();
        if (cm.openRefusedForPermission())
            refused << cm.deviceName();
        if (cm.IsOpen())
            cm.SetOpen(false);
    }
    return blnPortOk;
}

// One identify exchange, step by step so that a failed step does not stop the next ones.
bool probe(link::Link& link, int number)
{
    link::Port& cm = link.cm;
    cm.SetPortNumber(number);
    const bool opened = cm.SetOpen(true);
    const bool wrote = cm.WriteText(protocol::identifyQuery());
    if (!link.Wait()) {
        cm.SetOpen(false);
        throw link::LinkAborted();
    }
    const std::optional<QString> reply = cm.ReadAll();
    if (reply)
        link.strReply = *reply;
    const bool matched = opened && wrote && reply && protocol::isIdentity(*reply);
    if (!matched)
        cm.SetOpen(false);
    return matched;
}

} // namespace

ScanResult Connect(link::Link& link)
{
    ScanResult result;
    // The port an earlier scan found would otherwise stay open, unseen, beside the new scan.
    if (link.cm.IsOpen())
        link.cm.SetOpen(false);
    link.cm.refreshDevices();

    const PortOk blnPortOk = findOpenablePorts(link.cm, result.refusedForPermission);

    bool blnFound = false;
    int intLoop = kFirstPortNumber;
    while (intLoop <= kLastPortNumber && !blnFound) {
        if (blnPortOk[intLoop] && probe(link, intLoop)) {
            blnFound = true;
            result.portNumber = intLoop;
            result.reply = link.strReply;
        }
        ++intLoop;
    }
    result.found = blnFound;
    return result;
}

QString identityCaption(const ScanResult& result)
{
    return protocol::identityShown(result.reply);
}

QString permissionHint(const QStringList& devices)
{
    if (devices.isEmpty())
        return {};
    return QStringLiteral("No permission to open %1.\nOn Linux, add your user to the group that "
                          "owns the device (usually \"dialout\"):\n  sudo usermod -aG dialout "
                          "$USER\nthen log out and in again.")
        .arg(devices.join(QStringLiteral(", ")));
}

} // namespace tarvex::discovery
