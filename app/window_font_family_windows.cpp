#include "app/window_font_family.h"

namespace tarvex::app {

// Every Windows has Arial; Qt's default there (Segoe UI 9 pt) is wider and clips the captions.
// Liberation Sans, of the same metrics, stands in where a Windows program finds no Arial (the
// tests under Wine).
QStringList windowFontFamilies()
{
    return {QStringLiteral("Arial"), QStringLiteral("Liberation Sans")};
}

} // namespace tarvex::app
