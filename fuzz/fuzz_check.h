#pragma once

#include <QString>

#include <cstdlib>

// What the fuzz targets share: a broken promise ends the run, so libFuzzer keeps the input.
namespace fuzz {

inline void check(bool promise)
{
    if (!promise)
        std::abort();
}

inline bool isControl(QChar character)
{
    return character.unicode() < 0x20 || character.unicode() == 0x7f;
}

inline bool hasControl(const QString& text)
{
    for (const QChar character : text) {
        if (isControl(character))
            return true;
    }
    return false;
}

} // namespace fuzz
