#include "provisioning/unit_session.h"

#include "link/exchange_trace.h"
#include "link/link.h"
#include "protocol/commands.h"
#include "protocol/replies.h"
#include "provisioning/differences.h"
#include "provisioning/failure.h"
#include "transfer/configuration_transfer.h"
#include "transfer/message_text.h"

namespace tarvex::provisioning {
namespace {

using Kind = Item::Kind;

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

UnitSession::UnitSession(link::Link& link, QString device) : link_(link), device_(std::move(device))
{}

QString UnitSession::identify()
{
    const QString reply = link_.SendAndWait(protocol::identifyQuery());
    report(1, 1);
    if (!protocol::isIdentity(reply))
        throw Failure(Failure::Kind::NoUnit, QStringLiteral("no unit answered on %1").arg(device_),
                      device_);
    return protocol::identityShown(reply);
}

void UnitSession::read(const QList<Item>& items, UnitValues& into)
{
    const int total = int(items.size());
    report(0, total);
    for (int done = 0; done < total; ++done) {
        readItem(items[done], into);
        report(done + 1, total);
    }
}

void UnitSession::write(const QList<Item>& items, const ManagedConfiguration& file,
                        const UnitValues& unit)
{
    const int total = int(items.size());
    report(0, total);
    for (int done = 0; done < total; ++done) {
        writeItem(items[done], file, unit);
        written_ << items[done];
        report(done + 1, total);
    }
}

void UnitSession::report(int done, int total)
{
    if (progress_ && !progress_(done, total))
        throw interrupted();
}

// Stricter than the window's upload: a cut-off reply is a bad reply, never a value.
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
        throw Failure(Failure::Kind::NoAnswer,
                      QStringLiteral("the unit stopped answering (reading the %1)").arg(what),
                      device_);
    throw Failure(Failure::Kind::BadReply,
                  QStringLiteral("unexpected reply \"%1\" when reading the %2")
                      .arg(link::escaped(reply), what),
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
            Failure::Kind::Unencodable,
            QStringLiteral("the %1 could not be encoded for the unit").arg(itemName(item)),
            device_);
}

} // namespace tarvex::provisioning
