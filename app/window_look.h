#pragma once

#include <QFont>
#include <QIcon>
#include <QPixmap>

namespace tarvex::app {

// The window's default font, which every caption of the layout fits at 96 DPI.
QFont windowFont();

// The font of the vendor's name in the branding frame.
QFont vendorNameFont();

// Our own artwork: the window icon (32 and 16 pixels) and the vendor's logo.
QIcon windowIcon();
QPixmap vendorLogo();

} // namespace tarvex::app
