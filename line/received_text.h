#pragma once

#include <QByteArray>
#include <QString>

namespace tarvex::link {

// The bytes of a line or reply as readable ASCII: CR, LF and backslash as \r, \n and \\, every
// other control or non-ASCII character as \xNN. Replies often hold bytes a terminal would eat.
QString escaped(const QString& bytes);

// Received bytes as a message quotes them: escaped, in double quotes, and past a few dozen bytes
// cut, with the whole count after it. A flooding line must not make a message of megabytes.
QString quotedExcerpt(const QString& bytes);
QString quotedExcerpt(const QByteArray& bytes);

} // namespace tarvex::link
