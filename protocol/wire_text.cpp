#include "protocol/wire_text.h"

#include <algorithm>

namespace tarvex::protocol {
namespace {

bool isLineBreak(QChar character)
{
    return character == u'\n' || character == QChar::ParagraphSeparator ||
           character == QChar::LineSeparator;
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

int characterWireLength(QChar character)
{
    return isLineBreak(character) ? 2 : 1;
}

int wireLength(const QString& text)
{
    int length = 0;
    for (const QChar character : text)
        length += characterWireLength(character);
    return length;
}

} // namespace tarvex::protocol
