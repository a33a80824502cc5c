#include "cli/exit_codes.h"

#include <QList>
#include <utility>

namespace tarvex::cli {
namespace {

// Every code with its meaning, once: --help and the bench loop's failure lines both read it.
const QList<std::pair<Exit, QString>>& meanings()
{
    static const QList<std::pair<Exit, QString>> table = {
        {Exit::Done, QStringLiteral("done; for diff: no difference")},
        {Exit::Unexpected, QStringLiteral("unexpected failure")},
        {Exit::Differences, QStringLiteral("diff: differences found")},
        {Exit::NotVerified, QStringLiteral("written, but the read-back still differs")},
        {Exit::Usage, QStringLiteral("usage error; or several units answered and none was named")},
        {Exit::InvalidFile, QStringLiteral("invalid configuration file")},
        {Exit::UnreadableFile, QStringLiteral("configuration file missing or unreadable")},
        {Exit::NoUnit, QStringLiteral("no unit answered")},
        {Exit::CannotWriteOutput,
         QStringLiteral("output cannot be written (the -o file, stdout, trace or report)")},
        {Exit::LineLost, QStringLiteral("the line to the unit was lost")},
        {Exit::PortBusy, QStringLiteral("the port is busy (another program holds the device)")},
        {Exit::PermissionDenied, QStringLiteral("permission denied on the port")},
        {Exit::Interrupted, QStringLiteral("interrupted (Ctrl-C, SIGTERM or SIGHUP)")},
    };
    return table;
}

} // namespace

QString exitMeaning(Exit code)
{
    for (const auto& [known, meaning] : meanings()) {
        if (known == code)
            return meaning;
    }
    return exitMeaning(Exit::Unexpected);
}

QString exitCodeHelp()
{
    QString help = QStringLiteral("Exit codes:\n");
    for (const auto& [code, meaning] : meanings())
        help += QStringLiteral("  %1%2\n").arg(int(code), -5).arg(meaning);
    return help;
}

} // namespace tarvex::cli
