#pragma once

#include <QString>
#include <QStringView>

// What the unit takes as a phone number and as a message text. The window is lenient where
// its operator expects it (a phone box takes any ten characters and warns only before a
// write); a configuration file is strict. Both rules live here, so that a change of the
// unit's limits is one edit.
namespace tarvex::protocol {

// The window's phone box: at most ten characters, each one the unit stores byte for byte.
bool fitsPhoneBox(QStringView text);

// A number the window warns about and leaves out of a write: fewer than ten characters.
bool isShortPhoneNumber(QStringView number);

// The file's rule for a number, or an empty string: exactly ten characters, digits only, a
// leading "+" allowed.
QString phoneNumberProblem(const QString& number);

// The file's rule for a message text (line breaks as "\n"), or an empty string: ISO 8859-1
// without NUL or CR, no trailing break, at most 80 characters counting a break as two.
QString messageProblem(const QString& message);

} // namespace tarvex::protocol
