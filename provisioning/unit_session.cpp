#include "provisioning/unit_session.h"

#include "link/exchange_trace.h"
#include "link/link.h"
#include "link/link_errors.h"
#include "protocol/commands.h"
#include "protocol/replies.h"
#include "provisioning/differences.h"
#include "provisioning/failure.h"
#include "transfer/fresh_start.h"
#include "transfer/message_text.h"

namespace tarvex::provisioning {
namespace {

using Kind = Item::Kind;
using protocol::Rule;
using namespace std::chrono_literals;

// Longer than a busy server's refusal or a jittered reply takes to follow the wait over any
// path a unit is reached over; spent only when a reply is already missing or wrong.
constexpr auto kLateGrace = 1500ms;

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

Failure silence(const QString& doing, const QString& device)
{
    return Failure(Failure::Kind::NoAnswer,
                   QStringLiteral("the unit stopped answering (%1)").arg(doing), device);
}

// The line that writes item's value, or nothing when the value cannot travel as it is.
std::optional<QString> writeLine(const Item& item, const ManagedConfiguration& file,
                                 const UnitValues& unit)
{
    switch (item.kind) {
    case Kind::Count:
        return protocol::phoneCountWrite(int(file.numbers.value_or(QStringList()).size()));
    case Kind::Mask:
        return protocol::eventMaskWrite(maskToWrite(unit, file));
    case Kind::Phone:
        return protocol::phoneWrite(item.slot, item.slot == protocol::kTestPhoneSlot
                                                   ? file.testNumber.value_or(QString())
                                                   : file.numbers->at(item.slot));
    case Kind::Message:
        return protocol::messageWrite(
            item.slot, transfer::wireTextFromEditor(
                           file.events[size_t(item.slot)].message.value_or(QString())));
    }
    return std::nullopt;
}

} // namespace

UnitSession::UnitSession(link::Link& link, QString device) : link_(link), device_(std::move(device))
{}

QString UnitSession::identify()
{
    transfer::startFresh(link_);
    const QString reply = link_.SendAndWait(protocol::identifyQuery());
    report(1, 1);
    if (!protocol::isIdentity(reply))
        failOnReply(Failure(Failure::Kind::NoUnit,
                            QStringLiteral("no unit answered on %1").arg(device_), device_),
                    reply, QStringLiteral("identifying the unit"));
    return protocol::identityShown(reply);
}

void UnitSession::read(const QList<Item>& items, UnitValues& into)
{
    transfer::startFresh(link_);
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
    transfer::startFresh(link_);
    const int total = int(items.size());
    report(0, total);
    for (int done = 0; done < total; ++done) {
        writeItem(items[done], file, unit);
        report(done + 1, total);
    }
}

void UnitSession::report(int done, int total)
{
    if (progress_ && !progress_(done, total))
        throw interrupted();
}

// The reply to line read strictly: a silent unit is NoAnswer, anything but the whole reply to
// exactly what was asked is BadReply, never a value.
template <typename Read> auto UnitSession::ask(const QString& line, const Item& item, Read read)
{
    const QString reply = link_.SendAndWait(line);
    const auto reading = read(reply);
    const QString doing = QStringLiteral("reading the %1").arg(itemName(item));
    if (reading.hasValue())
        return reading.value();
    if (!link_.cm.IsOpen())
        throw link::LinkError(link_.cm.deviceName(), link_.cm.errorString(), true);
    if (reading.fault() == protocol::ReplyFault::NoAnswer)
        failOnReply(silence(doing, device_), reply, doing);
    failOnReply(
        Failure(
            Failure::Kind::BadReply,
            QStringLiteral("unexpected reply %1 when %2").arg(link::quotedExcerpt(reply), doing),
            device_),
        reply, doing);
}

// Over a network a reply may come after its wait, and a busy server's refusal after the open:
// before a missing or wrong reply is called so there, the line is given a moment more. Bytes
// that come then, or a reply cut before its line end, make it a late reply; a line that ends
// meanwhile fails as a lost line, which its port names.
void UnitSession::failOnReply(const Failure& failure, const QString& reply, const QString& doing)
{
    const std::optional<link::LineAddress> address = link_.cm.networkAddress();
    if (!address)
        throw failure;
    if (!link_.Linger(kLateGrace))
        throw link::LinkAborted();
    const std::optional<QString> late = link_.cm.IsOpen() ? link_.cm.ReadAll() : std::nullopt;
    if (!late)
        throw link::LinkError(device_, link_.cm.errorString());
    const bool cut = !reply.isEmpty() && !reply.endsWith(u'\r');
    if (late->isEmpty() && !cut)
        throw failure;
    const bool telnet = address->kind == link::LineAddress::Kind::Rfc2217;
    throw Failure(
        Failure::Kind::LateReply,
        QStringLiteral("the reply came late (%1, with a line delay of %2 ms): raise ?delay=MS%3")
            .arg(doing)
            .arg(link_.cm.replyDelay().count())
            .arg(telnet ? QString()
                        : QStringLiteral(", or use rfc2217://, whose delay is measured end to "
                                         "end")),
        device_);
}

void UnitSession::readItem(const Item& item, UnitValues& into)
{
    const int slot = item.slot;
    switch (item.kind) {
    case Kind::Count:
        into.count = ask(protocol::phoneCountRead(), item, [](const QString& reply) {
            return protocol::phoneCountReading(reply, Rule::Strict);
        });
        break;
    case Kind::Mask:
        into.mask = ask(protocol::eventMaskRead(), item, [](const QString& reply) {
            return protocol::eventMaskReading(reply, Rule::Strict);
        });
        break;
    case Kind::Phone:
        into.phones[size_t(slot)] =
            ask(protocol::phoneRead(slot), item,
                [slot](const QString& reply) { return protocol::phoneNumberReading(reply, slot); });
        break;
    case Kind::Message:
        into.messages[size_t(slot)] = transfer::editorTextFromWire(
            ask(protocol::messageRead(slot), item,
                [slot](const QString& reply) { return protocol::messageReading(reply, slot); }));
        break;
    }
}

void UnitSession::writeItem(const Item& item, const ManagedConfiguration& file,
                            const UnitValues& unit)
{
    const std::optional<QString> line = writeLine(item, file, unit);
    // The file was validated before anything was sent, so this would be a fault of ours.
    if (!line)
        throw Failure(
            Failure::Kind::Unencodable,
            QStringLiteral("the %1 could not be encoded for the unit").arg(itemName(item)),
            device_);
    QString answer;
    try {
        answer = link_.SendAndWait(*line);
    } catch (const link::LinkError& error) {
        if (error.lineSent())
            writes_.append({item, false});
        throw;
    }
    writes_.append({item, !answer.isEmpty()});
    // A unit that takes no write must not be given the count and the switches after numbers
    // it never took: the writes stop at the first one nothing answers.
    if (answer.isEmpty())
        throw silence(QStringLiteral("writing the %1").arg(itemName(item)), device_);
}

} // namespace tarvex::provisioning
