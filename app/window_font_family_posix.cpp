#include "app/window_font_family.h"

namespace tarvex::app {

// Liberation Sans has Arial's metrics; DejaVu Sans, the usual fallback on Linux, is wider and
// clips the captions.
QStringList windowFontFamilies()
{
    return {QStringLiteral("Liberation Sans"), QStringLiteral("Arial")};
}

} // namespace tarvex::app
