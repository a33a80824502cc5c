#include "app/wire_text.h"

#include <algorithm>

namespace tarvex::app {

bool isWireText(QStringView text)
{
    return std::all_of(text.begin(), text.end(), [](QChar character) {
        return character.unicode() != 0 && character.unicode() <= 0xFF;
    });
}

} // namespace tarvex::app
