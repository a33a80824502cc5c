#pragma once

#include <QByteArray>
#include <QString>

namespace tarvex::files {

// The name that stands for standard input.
inline const QString kStandardInput = QStringLiteral("-");

struct BoundedRead
{
    enum class Outcome { Read, Unreadable, TooLarge };
    Outcome outcome = Outcome::Unreadable;
    QByteArray bytes; // when Read
    QString reason;   // the system's, when Unreadable

    bool ok() const { return outcome == Outcome::Read; }
};

// The whole of a file ("-": standard input) no larger than bound. At most bound + 1 bytes are
// read, so that /dev/zero or a wrong file cannot fill the memory. May block (a FIFO without a
// writer, a pipe).
BoundedRead readBounded(const QString& path, qint64 bound);

} // namespace tarvex::files
