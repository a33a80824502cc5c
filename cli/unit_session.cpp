#include "cli/unit_session.h"

#include "cli/exchange_log.h"
#include "cli/exit_codes.h"
#include "cli/interruption.h"
#include "discovery/port_scan.h"
#include "link/link_errors.h"
#include "protocol/commands.h"
#include "protocol/replies.h"
#include "transfer/configuration_transfer.h"
#include "transfer/message_text.h"

#include <QFileInfo>

namespace tarvex::cli {
namespace {

using Kind = Item::Kind;

link::PortMap onlyDevice(const QString& device)
{
    return link::PortMap::pinned({{link::kFirstPortNumber, device}});
}

// The system says "permission" both for a device we may not open and for one that another
// program holds (its lock); only the first is denied by the file's own permissions.
Failure refusedOpen(const QString& device)
{
    const discovery::DeviceAccess access = discovery::accessOf(device);
    if (access.userMayOpen)
        return Failure(Exit::PortBusy, QStringLiteral("port-busy"),
                       QStringLiteral("%1 is busy: another program holds it open").arg(device),
                       device);
    return Failure(Exit::PermissionDenied, QStringLiteral("permission-denied"),
                   discovery::permissionHint(QList{access}), device);
}

QString itemName(const Item& item)
{
    switch (item.kind) {
    case Kind::Count:
        return QStringLiteral("phone count");
    case Kind::Mask:
        return QStringLiteral("event mask");
    case Kind::Phone:
        return item.slot == protocol::kTestPhoneSlot ? QStringLiteral("test number")
                                                     : QStringLiteral("phone %1").arg(item.slot);
    case Kind::Message:
        return QStringLiteral("message %1").arg(item.slot);
    }
    return {};
}

} // namespace

UnitSession::UnitSession(const QString& device, std::chrono::milliseconds replyWait,
                         ExchangeLog& log)
    : device_(device), log_(log), port_(onlyDevice(device)), link_(port_, replyWait)
{
    log.watch(link_, device);
}

void UnitSession::open()
{
    if (port_.SetOpen(true))
        return;
    if (port_.openRefusedForPermission())
        throw refusedOpen(device_);
    const QString reason =
        QFileInfo::exists(device_) ? port_.errorString() : QStringLiteral("no such device");
    throw Failure(Exit::NoUnit, QStringLiteral("no-unit"),
                  QStringLiteral("cannot open %1: %2").arg(device_, reason), device_);
}

QString UnitSession::identify()
{
    QString reply;
    exchange([&] { reply = link_.SendAndWait(protocol::identifyQuery()); });
    if (!protocol::isIdentity(reply))
        throw Failure(Exit::NoUnit, QStringLiteral("no-unit"),
                      QStringLiteral("no unit answered on %1").arg(device_), device_);
    return protocol::identityShown(reply);
}

void UnitSession::read(const QList<Item>& items, UnitValues& into)
{
    for (const Item& item : items)
        exchange([&] { readItem(item, into); });
}

void UnitSession::write(const QList<Item>& items, const ManagedConfiguration& file,
                        const UnitValues& unit)
{
    for (const Item& item : items)
        exchange([&] {
            writeItem(item, file, unit);
            written_ << item;
        });
}

// One step on the line; a lost line becomes exit 74, and Ctrl-C takes effect after the step.
template <typename Step> void UnitSession::exchange(Step step)
{
    try {
        step();
    } catch (const link::LinkError& error) {
        throw Failure(Exit::LineLost, QStringLiteral("lost-line"),
                      QStringLiteral("the line to the unit was lost: %1").arg(error.reason()),
                      device_);
    }
    log_.checkTrace();
    interruption::checkpoint();
}

// Strict where the window is lenient: a cut-off reply is a bad reply, never a value.
template <typename T>
std::optional<T> UnitSession::whole(const std::optional<T>& value, bool (*isWhole)(const QString&))
{
    return isWhole(link_.strReply) ? value : std::nullopt;
}

template <typename T> T UnitSession::answered(const std::optional<T>& value, const QString& what)
{
    if (value)
        return *value;
    const QString reply = link_.strReply;
    if (reply.isEmpty())
        throw Failure(Exit::LineLost, QStringLiteral("no-answer"),
                      QStringLiteral("the unit stopped answering (reading the %1)").arg(what),
                      device_);
    throw Failure(Exit::Unexpected, QStringLiteral("bad-reply"),
                  QStringLiteral("unexpected reply \"%1\" when reading the %2")
                      .arg(ExchangeLog::escaped(reply), what),
                  device_);
}

void UnitSession::readItem(const Item& item, UnitValues& into)
{
    const QString what = itemName(item);
    switch (item.kind) {
    case Kind::Count:
        into.count =
            answered(whole(transfer::readPhoneCount(link_), protocol::isWholeCountReply), what);
        break;
    case Kind::Mask:
        into.mask =
            answered(whole(transfer::readEventMask(link_), protocol::isWholeMaskReply), what);
        break;
    case Kind::Phone:
        into.phones[size_t(item.slot)] =
            answered(transfer::readPhoneNumber(link_, item.slot), what);
        break;
    case Kind::Message:
        into.messages[size_t(item.slot)] =
            answered(transfer::readAnsweredMessage(link_, item.slot), what);
        break;
    }
}

void UnitSession::writeItem(const Item& item, const ManagedConfiguration& file,
                            const UnitValues& unit)
{
    bool sent = true;
    switch (item.kind) {
    case Kind::Count:
        transfer::writePhoneCount(link_, int(file.numbers.value_or(QStringList()).size()));
        break;
    case Kind::Mask:
        transfer::writeEventMask(link_, maskToWrite(unit, file));
        break;
    case Kind::Phone:
        sent = transfer::writePhoneNumber(link_, item.slot,
                                          item.slot == protocol::kTestPhoneSlot
                                              ? file.testNumber.value_or(QString())
                                              : file.numbers->at(item.slot));
        break;
    case Kind::Message:
        sent = transfer::saveMessage(link_, item.slot,
                                     file.events[size_t(item.slot)].message.value_or(QString()));
        break;
    }
    // The file was validated before anything was sent, so this would be a fault of ours.
    if (!sent)
        throw Failure(
            Exit::Unexpected, QStringLiteral("unexpected"),
            QStringLiteral("the %1 could not be encoded for the unit").arg(itemName(item)),
            device_);
}

} // namespace tarvex::cli
