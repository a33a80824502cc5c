#include "protocol/value_rules.h"

#include "protocol/slots.h"
#include "protocol/wire_text.h"

namespace tarvex::protocol {

bool fitsPhoneBox(QStringView text)
{
    return text.size() <= kPhoneLength && isWireText(text);
}

bool isShortPhoneNumber(QStringView number)
{
    return number.size() < kPhoneLength;
}

QString phoneNumberProblem(const QString& number)
{
    if (number.size() != kPhoneLength)
        return QStringLiteral("%1 characters, must be exactly %2")
            .arg(number.size())
            .arg(kPhoneLength);
    for (qsizetype i = 0; i < number.size(); ++i) {
        const bool plusAllowed = i == 0 && number[i] == u'+';
        if (!plusAllowed && !(number[i] >= u'0' && number[i] <= u'9'))
            return QStringLiteral("digits only (a leading \"+\" allowed)");
    }
    return {};
}

QString messageProblem(const QString& message)
{
    if (!isLatin1(message))
        return QStringLiteral("holds a character outside ISO 8859-1");
    if (message.contains(QChar(u'\0')))
        return QStringLiteral("holds a NUL, which the unit takes as the end of the text");
    if (message.contains(u'\r'))
        return QStringLiteral("holds a carriage return; write a line break as \\n");
    if (message.endsWith(u'\n'))
        return QStringLiteral("ends with a line break, which the unit's text never keeps");
    const int length = wireLength(message);
    if (length > kMessageLength)
        return QStringLiteral("%1 characters, at most %2 (a line break counts as two)")
            .arg(length)
            .arg(kMessageLength);
    return {};
}

} // namespace tarvex::protocol
