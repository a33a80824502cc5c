#include "cli/standard_output.h"

#include "cli/standard_streams.h"

#include <cerrno>
#include <cstdio>

namespace tarvex::cli::standard_output {
namespace {
bool closedAtStart = false;
}

void guard()
{
    closedAtStart = standard_streams::reopenClosed();
}

std::optional<QString> write(const QByteArray& bytes)
{
    if (bytes.isEmpty())
        return std::nullopt; // nothing to lose
    if (closedAtStart)
        return QStringLiteral("standard output is closed");
    errno = 0;
    const size_t size = size_t(bytes.size());
    if (std::fwrite(bytes.constData(), 1, size, stdout) == size && std::fflush(stdout) == 0)
        return std::nullopt;
    const int reason = errno;
    std::clearerr(stdout);
    return qt_error_string(reason);
}

} // namespace tarvex::cli::standard_output
