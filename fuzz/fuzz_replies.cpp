// The reply parsers and the field cutting of protocol/ on any reply a line can carry, read one
// byte per character as the serial port reads it.
#include "fuzz_check.h"
#include "protocol/replies.h"

#include <cstddef>
#include <cstdint>

using fuzz::check;
using fuzz::hasControl;
using namespace tarvex::protocol;

namespace {

bool isPrefixOf(const QString& part, const QString& whole)
{
    return whole.startsWith(part);
}

void checkFields(const QString& reply)
{
    check(isIdentity(reply) == reply.startsWith(QLatin1String("KTX")));

    const QString shown = identityShown(reply);
    check(shown.size() <= kIdentityLength && isPrefixOf(shown, reply) && !hasControl(shown));
    check(hasControl(reply.left(kIdentityLength)) || shown == reply.left(kIdentityLength));

    // A lenient reading needs a line end after its letter, or what a strict one takes; a phone
    // number its slot and a CR after it.
    const bool ended = reply.indexOf(QChar(u'\r'), 1) >= 0 || reply.indexOf(QChar(u'\n'), 1) >= 0;
    const Reading<QString> number = phoneNumberReading(reply, 0);
    check(number.hasValue() ==
          (reply.startsWith(QLatin1String("P0")) && reply.indexOf(QChar(u'\r'), 2) >= 0));
    if (number.hasValue())
        check(number.value().size() <= kPhoneLength && isPrefixOf(number.value(), reply.mid(2)) &&
              !hasControl(number.value()));

    const Reading<int> count = phoneCountReading(reply, Rule::Lenient);
    const Reading<int> strictCount = phoneCountReading(reply, Rule::Strict);
    check(count.hasValue() == (reply.startsWith(u'N') && (ended || strictCount.hasValue())));
    if (count.hasValue())
        check(count.value() >= 0 && count.value() <= kTestPhoneSlot);
    check(!strictCount.hasValue() || strictCount.value() == count.value());
    const bool strictMask = eventMaskReading(reply, Rule::Strict).hasValue();
    check(eventMaskReading(reply, Rule::Lenient).hasValue() ==
          (reply.startsWith(u'E') && (ended || strictMask)));
    if (!strictCount.hasValue())
        check((strictCount.fault() == ReplyFault::NoAnswer) == reply.isEmpty());

    const Reading<QString> message = messageReading(reply, 0);
    check(!message.hasValue() ||
          (reply.startsWith(QLatin1String("M0")) && message.value() == messageTextOf(reply) &&
           reply.indexOf(QChar(u'\0'), 2) == message.value().size() + 2));

    const QString text = messageTextOf(reply);
    check(isPrefixOf(text, reply.mid(2)) && !text.contains(QChar(u'\0')));

    const QString cut = cutAtControl(reply);
    check(isPrefixOf(cut, reply) && !hasControl(cut) && (hasControl(reply) || cut == reply));
}

// Character positions from the reply's first two bytes, counted from 1 as the unit does.
void checkField(const QString& reply)
{
    if (reply.size() < 2)
        return;
    const int first = 1 + reply[0].unicode() % 24;
    const int last = reply[1].unicode() % 24;
    const QString part = field(reply, first, last);
    check(part == (last < first ? QString() : reply.mid(first - 1, last - first + 1)));
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    const QString reply = QString::fromLatin1(reinterpret_cast<const char*>(data), qsizetype(size));
    checkFields(reply);
    checkField(reply);
    return 0;
}
