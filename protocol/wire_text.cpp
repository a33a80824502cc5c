#include "protocol/wire_text.h"

#include <algorithm>

namespace tarvex::protocol {
namespace {

bool isLineBreak(QChar character)
{
    return character == u'\n' || character == QChar::ParagraphSeparator ||
           character == QChar::LineSeparator;
}

int characterWireLength(QChar character)
{
    return isLineBreak(character) ? 2 : 1;
}

} // namespace

bool isLatin1(QStringView text)
{
    return std::all_of(text.begin(), text.end(),
                       [](QChar character) { return character.unicode() <= 0xFF; });
}

bool isWireText(QStringView text)
{
    return isLatin1(text) && !text.contains(QChar(u'\0'));
}

int wireLength(const QString& text)
{
    int length = 0;
    for (const QChar character : text)
        length += characterWireLength(character);
    return length;
}

QString fittingBeginning(const QString& text, int room)
{
    int length = 0;
    qsizetype end = 0;
    for (; end < text.size(); ++end) {
        length += characterWireLength(text[end]);
        if (length > room)
            break;
    }
    return text.left(end);
}

QString withPlainLineBreaks(QString text)
{
    text.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
    text.replace(u'\r', u'\n');
    return text;
}

QString withoutTrailingLineEnd(QString text)
{
    if (text.endsWith(QStringLiteral("\r\n")))
        text.chop(2);
    else if (text.endsWith(u'\r') || text.endsWith(u'\n'))
        text.chop(1);
    return text;
}

} // namespace tarvex::protocol
