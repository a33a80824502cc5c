#pragma once

#include <QString>
#include <QStringView>

namespace tarvex::protocol {

// Whether every character is one ISO 8859-1 byte on the line.
bool isLatin1(QStringView text);

// Whether the text travels to the unit unchanged: one ISO 8859-1 byte per character, and no
// NUL, which the unit takes as the end of a text.
bool isWireText(QStringView text);

// A message text's length on the line: a line break travels as CR LF and so counts two. A
// break may be "\n" or a text editor's paragraph or line separator.
int wireLength(const QString& text);

// The longest beginning of text whose wire length is at most room.
QString fittingBeginning(const QString& text, int room);

// CR LF and a lone CR, as other programs and the unit write them, each as one "\n".
QString withPlainLineBreaks(QString text);

// The text without one line end at its end: CR LF, a lone CR or a LF. A unit's text and a
// text file both end that way, and the unit never keeps the break.
QString withoutTrailingLineEnd(QString text);

} // namespace tarvex::protocol
