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
        {Exit::InvalidFile,
         QStringLiteral(
             "invalid configuration file; fleet: invalid fleet.json, template or register")},
        {Exit::UnreadableFile, QStringLiteral("configuration file missing or unreadable")},
        {Exit::NoUnit,
         QStringLiteral("no unit answered, or its device or network address would not "
                        "open")},
        {Exit::CannotWriteOutput,
         QStringLiteral("output cannot be written (the -o file, stdout, trace or report)")},
        {Exit::LineLost,
         QStringLiteral("the line to the unit was lost; fleet backup: some sites were not read")},
        {Exit::PortBusy,
         QStringLiteral(
             "the port is busy (another program holds the device, or "
             "the terminal server serves another client); fleet: another run holds the register")},
        {Exit::PermissionDenied, QStringLiteral("permission denied on the port")},
        {Exit::Interrupted, QStringLiteral("interrupted (Ctrl-C, SIGTERM or SIGHUP)")},
    };
    return table;
}

struct EngineFailure
{
    provisioning::Failure::Kind kind;
    Exit code;
    const char* name; // the JSON result's error kind: scripts match it, never rename one
};

// A silent unit is a lost line to a script, but keeps its own name.
constexpr EngineFailure kEngineFailures[] = {
    {provisioning::Failure::Kind::NoUnit, Exit::NoUnit, "no-unit"},
    {provisioning::Failure::Kind::PortBusy, Exit::PortBusy, "port-busy"},
    {provisioning::Failure::Kind::PermissionDenied, Exit::PermissionDenied, "permission-denied"},
    {provisioning::Failure::Kind::LineLost, Exit::LineLost, "lost-line"},
    {provisioning::Failure::Kind::NoAnswer, Exit::LineLost, "no-answer"},
    {provisioning::Failure::Kind::BadReply, Exit::Unexpected, "bad-reply"},
    {provisioning::Failure::Kind::LateReply, Exit::LineLost, "late-reply"},
    {provisioning::Failure::Kind::Unencodable, Exit::Unexpected, "unexpected"},
    {provisioning::Failure::Kind::UnreadableFile, Exit::UnreadableFile, "unreadable-file"},
    {provisioning::Failure::Kind::InvalidFile, Exit::InvalidFile, "invalid-file"},
    {provisioning::Failure::Kind::UnwritableFile, Exit::CannotWriteOutput, "output-unwritable"},
    {provisioning::Failure::Kind::NotVerified, Exit::NotVerified, "not-verified"},
    {provisioning::Failure::Kind::Interrupted, Exit::Interrupted, "interrupted"},
};

} // namespace

Failure failureOf(const provisioning::Failure& failure)
{
    for (const EngineFailure& known : kEngineFailures) {
        if (known.kind == failure.kind())
            return Failure(known.code, QString::fromLatin1(known.name), failure.message(),
                           failure.device());
    }
    return Failure(Exit::Unexpected, QStringLiteral("unexpected"), failure.message(),
                   failure.device());
}

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
