#pragma once

#include <QtGlobal>

namespace tarvex::app {

// The window's layout is drawn in twips (1/1440 inch); the screen's logical DPI makes them
// pixels, 15 twips to a pixel at 96 DPI.
inline int twipsToPixels(int twips, int dpi)
{
    return qRound(twips * dpi / 1440.0);
}

} // namespace tarvex::app
