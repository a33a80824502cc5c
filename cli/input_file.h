#pragma once

#include <QByteArray>
#include <QString>

namespace tarvex::cli {

// Far above any real file (a full configuration is about 1.5 KB, a message at most 80
// characters), and far below what would hurt the machine.
inline constexpr qint64 kLargestInputFile = 1024 * 1024;

// The whole of a configuration or message file ("-": standard input), read so that Ctrl-C
// ends a wait for a FIFO's writer. Exit 66 when it cannot be read, 65 when it is larger than
// kLargestInputFile (after reading at most one byte more).
QByteArray readInputFile(const QString& path);

// The file as messages name it: "standard input" for "-".
QString inputName(const QString& path);

} // namespace tarvex::cli
