#include "line/received_text.h"

namespace tarvex::link {
namespace {

// More than any reply of the unit, short enough for one line of a terminal.
constexpr qsizetype kExcerptLength = 48;

} // namespace

QString escaped(const QString& bytes)
{
    QString text;
    for (const QChar character : bytes) {
        const ushort code = character.unicode();
        if (character == u'\r')
            text += QStringLiteral("\\r");
        else if (character == u'\n')
            text += QStringLiteral("\\n");
        else if (character == u'\\')
            text += QStringLiteral("\\\\");
        else if (code < 0x20 || code >= 0x7F)
            text += QStringLiteral("\\x%1").arg(code, 2, 16, QChar(u'0'));
        else
            text += character;
    }
    return text;
}

QString quotedExcerpt(const QString& bytes)
{
    if (bytes.size() <= kExcerptLength)
        return QStringLiteral("\"%1\"").arg(escaped(bytes));
    return QStringLiteral("\"%1...\" (%2 bytes)")
        .arg(escaped(bytes.left(kExcerptLength)))
        .arg(bytes.size());
}

QString quotedExcerpt(const QByteArray& bytes)
{
    return quotedExcerpt(QString::fromLatin1(bytes));
}

} // namespace tarvex::link
