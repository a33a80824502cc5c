#pragma once

#include <QStringList>

#include <optional>

namespace tarvex::link {

// A command written as for a shell, split into its words as a POSIX shell splits them, but
// with nothing expanded and no shell run: blanks separate words, '…' holds everything
// literally, "…" escapes as a shell's do ($, `, " and \ after a backslash), and outside quotes
// a backslash escapes a blank, a quote or a backslash and is kept before anything else (a
// Windows path stays as written).
// nullopt, and why in wrong, for an unclosed quote or a lone backslash at the end.
std::optional<QStringList> shellWords(const QString& command, QString* wrong);

} // namespace tarvex::link
