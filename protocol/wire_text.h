#pragma once

#include <QStringView>

namespace tarvex::protocol {

// Whether every character is one ISO 8859-1 byte on the line.
bool isLatin1(QStringView text);

// Whether the text travels to the unit unchanged: one ISO 8859-1 byte per character, and no
// NUL, which the unit takes as the end of a text.
bool isWireText(QStringView text);

} // namespace tarvex::protocol
