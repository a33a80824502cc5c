#include "discovery/port_scan.h"

#include "line/received_text.h"
#include "link/link.h"
#include "link/link_errors.h"
#include "link/port_map.h"
#include "protocol/commands.h"
#include "protocol/replies.h"

#include <QMap>

#include <array>

namespace tarvex::discovery {
namespace {

using link::kFirstPortNumber;
using link::kLastPortNumber;
using PortOk = std::array<bool, kLastPortNumber + 1>;

PortOk findOpenablePorts(link::Link& link, QStringList& refused)
{
    PortOk blnPortOk{};
    for (int intLoop = kFirstPortNumber; intLoop <= kLastPortNumber; ++intLoop) {
        const link::Link::OpenTry tried = link.tryOpen(intLoop);
        blnPortOk[intLoop] = tried.opened;
        if (tried.refusedForPermission)
            refused << tried.device;
    }
    return blnPortOk;
}

const QString kListSeparator = QStringLiteral(", ");

QString joinGroupAdvice(const QString& group, const QStringList& devices)
{
    return QStringLiteral("%1: on Linux, add your user to the group \"%2\" that owns %3:\n"
                          "  sudo adduser $USER %2\nthen log out and in again.")
        .arg(devices.join(kListSeparator), group,
             devices.size() == 1 ? QStringLiteral("it") : QStringLiteral("them"));
}

// The advice for a device that joining a group would not open.
QString adviceFor(const DeviceAccess& access)
{
    if (!access.examined)
        return QStringLiteral("%1: ask an administrator for read-write access.").arg(access.device);
    if (access.userMayOpen)
        return QStringLiteral("%1: you may use it already; another program may be holding it.")
            .arg(access.device);
    return QStringLiteral("%1: no group is given read-write access to it; an administrator must "
                          "change the device's permissions.")
        .arg(access.device);
}

bool joiningHelps(const DeviceAccess& access)
{
    return access.examined && !access.userMayOpen && access.groupMayOpen;
}

} // namespace

ScanResult Connect(link::Link& link)
{
    ScanResult result;
    // The port an earlier scan found would otherwise stay open, unseen, beside the new scan.
    link.startScan();

    const PortOk blnPortOk = findOpenablePorts(link, result.refusedForPermission);

    bool blnFound = false;
    int intLoop = kFirstPortNumber;
    while (intLoop <= kLastPortNumber && !blnFound) {
        const std::optional<QString> reply =
            blnPortOk[intLoop]
                ? link.Probe(intLoop, protocol::identifyQuery(), protocol::isIdentity)
                : std::nullopt;
        if (reply) {
            blnFound = true;
            result.portNumber = intLoop;
            result.reply = *reply;
        }
        ++intLoop;
    }
    result.found = blnFound;
    return result;
}

DeviceResult identifyAt(link::Link& link, const link::DeviceName& device)
{
    link.startScan();
    if (!link.cm.SetDevice(device))
        return {false, {}, QStringLiteral("only the port numbers of this window can be opened")};
    if (!link.cm.SetOpen(true)) {
        if (link.isAborted()) // the open's wait ended because the program is closing
            throw link::LinkAborted();
        return {false, {}, link.cm.errorString()};
    }
    DeviceResult result;
    try {
        result.reply = link.SendAndWait(protocol::identifyQuery());
        result.found = protocol::isIdentity(result.reply);
        if (!result.found)
            result.failure = result.reply.isEmpty()
                                 ? QStringLiteral("no unit answered")
                                 : QStringLiteral("the device that answered is no unit (%1)")
                                       .arg(link::quotedExcerpt(result.reply));
    } catch (const link::LinkError& error) {
        result.failure = error.reason();
    } catch (const link::LinkAborted&) {
        link.cm.SetOpen(false);
        throw;
    }
    if (!result.found && link.cm.IsOpen())
        link.cm.SetOpen(false);
    return result;
}

QString identityCaption(const ScanResult& result)
{
    return protocol::identityShown(result.reply);
}

QString permissionHint(const QStringList& devices)
{
    QList<DeviceAccess> accesses;
    for (const QString& device : devices)
        accesses << accessOf(device);
    return permissionHint(accesses);
}

QString permissionHint(const QList<DeviceAccess>& devices)
{
    if (devices.isEmpty())
        return {};
    QStringList names;
    for (const DeviceAccess& access : devices)
        names << access.device;
    QStringList lines{QStringLiteral("No permission to open %1.").arg(names.join(kListSeparator))};
    QMap<QString, QStringList> groupMayOpen; // devices by the group that may open them
    for (const DeviceAccess& access : devices) {
        if (joiningHelps(access))
            groupMayOpen[access.group] << access.device;
        else
            lines << adviceFor(access);
    }
    for (auto group = groupMayOpen.cbegin(); group != groupMayOpen.cend(); ++group)
        lines << joinGroupAdvice(group.key(), group.value());
    return lines.join(u'\n');
}

} // namespace tarvex::discovery
