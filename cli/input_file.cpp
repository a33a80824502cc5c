#include "cli/input_file.h"

#include "cli/blocking_step.h"
#include "cli/exit_codes.h"
#include "files/bounded_read.h"

namespace tarvex::cli {

QByteArray readInputFile(const QString& path)
{
    using Outcome = files::BoundedRead::Outcome;
    const files::BoundedRead read = runBlocking<files::BoundedRead>(
        [path] { return files::readBounded(path, kLargestInputFile); });
    const QString shown = inputName(path);
    if (read.outcome == Outcome::TooLarge)
        throw Failure(Exit::InvalidFile, QStringLiteral("invalid-file"),
                      QStringLiteral("%1 is larger than %2 bytes, far more than any "
                                     "configuration or message; nothing was sent")
                          .arg(shown)
                          .arg(kLargestInputFile));
    if (read.outcome == Outcome::Unreadable)
        throw Failure(Exit::UnreadableFile, QStringLiteral("unreadable-file"),
                      QStringLiteral("cannot read %1: %2").arg(shown, read.reason));
    return read.bytes;
}

QString inputName(const QString& path)
{
    return path == files::kStandardInput ? QStringLiteral("standard input") : path;
}

} // namespace tarvex::cli
