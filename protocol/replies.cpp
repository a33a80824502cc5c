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
