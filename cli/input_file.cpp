#include "cli/input_file.h"

#include "cli/blocking_step.h"
#include "cli/exit_codes.h"
#include "files/bounded_read.h"
#include "provisioning/apply.h"

namespace tarvex::cli {

namespace {

files::BoundedRead readBoundedInput(const QString& path)
{
    return runBlocking<files::BoundedRead>(
        [path] { return files::readBounded(path, provisioning::kLargestInputFile); });
}

} // namespace

QByteArray readInputFile(const QString& path)
{
    const files::BoundedRead read = readBoundedInput(path);
    return engineStep([&] { return provisioning::fileBytes(read, inputName(path)); });
}

provisioning::ManagedConfiguration readConfigurationFile(const QString& path)
{
    const files::BoundedRead read = readBoundedInput(path);
    return engineStep([&] { return provisioning::loadConfigurationFile(read, inputName(path)); });
}

QString inputName(const QString& path)
{
    return path == files::kStandardInput ? QStringLiteral("standard input") : path;
}

} // namespace tarvex::cli
