#include "protocol/replies.h"

#include "protocol/commands.h"

#include <algorithm>

namespace tarvex::protocol {

namespace {

// 1-based positions, as the unit's documentation counts them.
constexpr int kCountPosition = 2;
constexpr int kMaskFirst = 2;
constexpr int kMaskLast = kMaskFirst + kEventCount - 1;
constexpr int kSlotPosition = 2;
constexpr int kPhoneFirst = 3;
constexpr int kPhoneLast = kPhoneFirst + kPhoneLength - 1;
constexpr int kMessageFirst = 3;

const QString kIdentityPrefix = QStringLiteral("KTX");

bool isLineEnd(QChar character)
{
    return character == kCarriageReturn || character == u'\n';
}

// Characters first..last all exist and pass allowed, and only the line end follows them.
bool wholeField(const QString& reply, int first, int last, bool (*allowed)(QChar))
{
    if (reply.size() < last)
        return false;
    const QString value = field(reply, first, last);
    const QString rest = reply.mid(last);
    return std::all_of(value.begin(), value.end(), allowed) &&
           std::all_of(rest.begin(), rest.end(), isLineEnd);
}

// Whether reply begins with letter and then, when slot is given, the slot's character.
bool beginsAs(const QString& reply, QChar letter, std::optional<QChar> slot = std::nullopt)
{
    if (reply.isEmpty() || reply.front() != letter)
        return false;
    return !slot || (reply.size() >= kSlotPosition && reply[kSlotPosition - 1] == *slot);
}

// The fault of a reply that gave no value.
ReplyFault faultOf(const QString& reply)
{
    return reply.isEmpty() ? ReplyFault::NoAnswer : ReplyFault::BadReply;
}

// Whether the reply holds end after the letter and slot: a reply cut by the wait lacks it.
bool holdsEnd(const QString& reply, QChar end)
{
    return reply.indexOf(end, kSlotPosition) >= 0;
}

// Whether a reading by rule may use the field first..last: a strict one needs the whole field
// and only the line end after it; a lenient one takes that too, or any reply whose line end has
// come (from the field on), whatever the field holds.
bool isWhole(const QString& reply, Rule rule, int first, int last, bool (*allowed)(QChar))
{
    if (wholeField(reply, first, last, allowed))
        return true;
    const QString rest = reply.mid(first - 1);
    return rule == Rule::Lenient && std::any_of(rest.begin(), rest.end(), isLineEnd);
}

} // namespace

QString field(const QString& reply, int first, int last)
{
    Q_ASSERT(first >= 1);
    if (last < first || first > reply.size())
        return {};
    return reply.mid(first - 1, last - first + 1);
}

bool isIdentity(const QString& reply)
{
    return reply.startsWith(kIdentityPrefix, Qt::CaseSensitive);
}

QString identityShown(const QString& reply)
{
    return cutAtControl(reply.left(kIdentityLength));
}

Reading<int> phoneCountReading(const QString& reply, Rule rule)
{
    if (!beginsAs(reply, u'N') ||
        !isWhole(reply, rule, kCountPosition, kCountPosition, isSlotCharacter))
        return faultOf(reply);
    const QString count = field(reply, kCountPosition, kCountPosition);
    return count.isEmpty() ? 0 : slotNumber(count.front());
}

Reading<EventMask> eventMaskReading(const QString& reply, Rule rule)
{
    if (!beginsAs(reply, u'E') || !isWhole(reply, rule, kMaskFirst, kMaskLast, isFlagCharacter))
        return faultOf(reply);
    return maskFromText(field(reply, kMaskFirst, kMaskLast));
}

Reading<QString> phoneNumberReading(const QString& reply, int slot)
{
    if (!beginsAs(reply, u'P', slotCharacter(slot)) || !holdsEnd(reply, kCarriageReturn))
        return faultOf(reply);
    return cutAtControl(field(reply, kPhoneFirst, kPhoneLast));
}

Reading<QString> messageReading(const QString& reply, int slot)
{
    if (!beginsAs(reply, u'M', messageSlotCharacter(slot)) || !holdsEnd(reply, kNul))
        return faultOf(reply);
    return messageTextOf(reply);
}

QString messageTextOf(const QString& reply)
{
    const QString text = reply.mid(kMessageFirst - 1);
    const qsizetype end = text.indexOf(kNul);
    return end < 0 ? text : text.left(end);
}

QString cutAtControl(const QString& text)
{
    const auto control = std::find_if(text.begin(), text.end(), [](QChar character) {
        return character.unicode() < 0x20 || character.unicode() == 0x7f;
    });
    return text.left(control - text.begin());
}

} // namespace tarvex::protocol
