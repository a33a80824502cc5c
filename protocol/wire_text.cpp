#include "protocol/wire_text.h"

#include <algorithm>

namespace tarvex::protocol {

bool isLatin1(QStringView text)
{
    return std::all_of(text.begin(), text.end(),
                       [](QChar character) { return character.unicode() <= 0xFF; });
}

bool isWireText(QStringView text)
{
    return isLatin1(text) && !text.contains(QChar(u'\0'));
}

} // namespace tarvex::protocol
