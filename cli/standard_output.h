#pragma once

#include <QByteArray>
#include <QString>

#include <optional>

namespace tarvex::cli::standard_output {

// Called first in main (see standard_streams::reopenClosed).
void guard();

// Writes and flushes the bytes to standard output; the system's reason when they did not all
// arrive (a full disk, /dev/full, a closed stream). Output nobody received is never a "done".
std::optional<QString> write(const QByteArray& bytes);

} // namespace tarvex::cli::standard_output
