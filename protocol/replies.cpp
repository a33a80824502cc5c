#include "protocol/replies.h"

#include "protocol/commands.h"

#include <algorithm>

namespace tarvex::protocol {

namespace {

// 1-based positions, as the unit's documentation counts them.
constexpr int kCountPosition = 2;
constexpr int kMaskFirst = 2;
constexpr int kMaskLast = kMaskFirst + kEventCount - 1;
constexpr int kPhoneFirst = 3;
constexpr int kPhoneLast = kPhoneFirst + kPhoneLength - 1;
constexpr int kMessageFirst = 3;

const QString kIdentityPrefix = QStringLiteral("KTX");

// The reply's characters from position first on are all in allowed, and then only CR or LF.
bool wholeField(const QString& reply, int first, int last, const QString& allowed)
{
    if (reply.size() < last)
        return false;
    const QString value = field(reply, first, last);
    const QString rest = reply.mid(last);
    return std::all_of(value.begin(), value.end(),
                       [&](QChar character) { return allowed.contains(character); }) &&
           std::all_of(rest.begin(), rest.end(),
                       [](QChar character) { return character == u'\r' || character == u'\n'; });
}

} // namespace

QString field(const QString& reply, int first, int last)
{
    Q_ASSERT(first >= 1);
    if (last < first || first > reply.size())
        return {};
    return reply.mid(first - 1, last - first + 1);
}

bool beginsWith(const QString& reply, QChar letter)
{
    return !reply.isEmpty() && reply.front() == letter;
}

bool isIdentity(const QString& reply)
{
    return reply.startsWith(kIdentityPrefix, Qt::CaseSensitive);
}

QString identityShown(const QString& reply)
{
    return cutAtControl(reply.left(kIdentityLength));
}

std::optional<int> phoneCountOf(const QString& reply)
{
    if (!beginsWith(reply, u'N'))
        return std::nullopt;
    const QString count = field(reply, kCountPosition, kCountPosition);
    return count.isEmpty() ? 0 : slotNumber(count.front());
}

bool isWholeCountReply(const QString& reply)
{
    return beginsWith(reply, u'N') &&
           wholeField(reply, kCountPosition, kCountPosition, QStringLiteral("0123456789:"));
}

bool isWholeMaskReply(const QString& reply)
{
    return beginsWith(reply, u'E') &&
           wholeField(reply, kMaskFirst, kMaskLast, QStringLiteral("01"));
}

std::optional<EventMask> eventMaskOf(const QString& reply)
{
    if (!beginsWith(reply, u'E'))
        return std::nullopt;
    return maskFromText(field(reply, kMaskFirst, kMaskLast));
}

std::optional<QString> phoneNumberOf(const QString& reply)
{
    if (!beginsWith(reply, u'P'))
        return std::nullopt;
    return cutAtControl(field(reply, kPhoneFirst, kPhoneLast));
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
