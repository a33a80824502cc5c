#pragma once

#include <QStringList>

namespace tarvex::app {

// The faces, in order of preference, of the window's default font on this system: Arial's
// metrics, for which the tight captions were laid out.
QStringList windowFontFamilies();

} // namespace tarvex::app
