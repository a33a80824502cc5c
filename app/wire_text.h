#pragma once

#include <QStringView>

namespace tarvex::app {

// Whether the text travels to the unit unchanged: one ISO 8859-1 byte per character, and no
// NUL, which the unit takes as the end of a text.
bool isWireText(QStringView text);

} // namespace tarvex::app
