#include "cli/input_file.h"

#include "cli/blocking_step.h"
#include "cli/exit_codes.h"
#include "files/bounded_read.h"
#include "provisioning/apply.h"

namespace tarvex::cli {

QByteArray readInputFile(const QString& path)
{
    const files::BoundedRead read = runBlocking<files::BoundedRead>(
        [path] { return files::readBounded(path, provisioning::kLargestInputFile); });
    return engineStep([&] { return provisioning::fileBytes(read, inputName(path)); });
}

QString inputName(const QString& path)
{
    return path == files::kStandardInput ? QStringLiteral("standard input") : path;
}

} // namespace tarvex::cli
