// The fleet commands that read the register (status, history, report), make one (init), or
// act on one site at a time (restore).
#include "cli/fleet_commands.h"
#include "cli/fleet_unit.h"
#include "cli/interruption.h"
#include "cli/result.h"
#include "cli/standard_streams.h"
#include "register/configuration_changes.h"
#include "register/html_report.h"
#include "register/register_error.h"
#include "register/register_folder.h"
#include "register/run_record.h"
#include "register/site_status.h"

#include <QJsonArray>
#include <QRegularExpression>

#include <cstdio>

namespace tarvex::cli {
namespace {

using fleet::RegisterFolder;

RegisterFolder openRegister(const FleetInvocation& invocation)
{
    RegisterFolder folder(invocation.folder);
    folder.checkIsRegister();
    return folder;
}

QList<fleet::SiteStatus> currentStatus(const FleetInvocation& invocation)
{
    const RegisterFolder folder = openRegister(invocation);
    return fleet::statusOf(folder, folder.sites(), QDateTime::currentDateTimeUtc(),
                           invocation.stale);
}

// A revision as restore takes it: a date means the last version before it (local time).
QString revisionOf(const RegisterFolder& folder, const QString& site, const QString& to)
{
    static const QRegularExpression date(
        QStringLiteral("^(\\d{4}-\\d{2}-\\d{2})(?:T(\\d{2}:\\d{2}))?$"));
    const QRegularExpressionMatch match = date.match(to);
    const std::optional<QString> commit =
        match.hasMatch()
            ? folder.git().lastCommitBefore(
                  QStringLiteral("%1 %2:00")
                      .arg(match.captured(1),
                           match.hasCaptured(2) ? match.captured(2) : QStringLiteral("00:00")),
                  RegisterFolder::siteFile(site))
            : folder.git().commitFor(to);
    if (!commit)
        fleet::invalid(match.hasMatch()
                           ? QStringLiteral("site %1 has no version before %2").arg(site, to)
                           : QStringLiteral("\"%1\" names no revision of the register").arg(to));
    return *commit;
}

provisioning::ManagedConfiguration versionOf(const RegisterFolder& folder, const QString& site,
                                             const QString& revision)
{
    const std::optional<QByteArray> bytes =
        folder.git().fileAt(revision, RegisterFolder::siteFile(site));
    if (!bytes)
        fleet::invalid(
            QStringLiteral("site %1 has no file in revision %2").arg(site, revision.left(12)));
    const provisioning::Loaded loaded = provisioning::loadConfiguration(*bytes);
    if (!loaded.configuration)
        fleet::invalid(
            QStringLiteral("site %1's file in revision %2 is not valid:\n%3")
                .arg(site, revision.left(12), provisioning::problemLines(loaded.problems)));
    return *loaded.configuration;
}

// Shown the differences, a person says yes on a terminal; without one, only --yes writes.
bool confirmed(const FleetInvocation& invocation, const QString& site,
               const provisioning::ApplyOutcome& compared, bool& declined)
{
    if (invocation.yes)
        return true;
    if (!standard_streams::inputIsTerminal()) {
        declined = true;
        return false;
    }
    std::fprintf(stderr, "%s",
                 provisioning::changeLines(compared.differences).toUtf8().constData());
    std::fprintf(stderr, "Write these %d differences to site %s? [y/N] ",
                 int(compared.differences.size()), qPrintable(site));
    char answer[16] = {};
    const bool yes =
        std::fgets(answer, sizeof answer, stdin) && (answer[0] == 'y' || answer[0] == 'Y');
    declined = !yes;
    return yes;
}

} // namespace

void initCommand(const FleetInvocation& invocation, FleetOutcome& out)
{
    const bool made = RegisterFolder::initialize(invocation.folder);
    const RegisterFolder folder(invocation.folder);
    out.document = {{QStringLiteral("command"), QStringLiteral("fleet init")},
                    {QStringLiteral("ok"), true},
                    {QStringLiteral("exit_code"), 0},
                    {QStringLiteral("register"), folder.path()},
                    {QStringLiteral("created"), made}};
    out.plain = (made ? QStringLiteral("register of sites made in %1\n")
                      : QStringLiteral("%1 is a register of sites already; nothing changed\n"))
                    .arg(folder.path())
                    .toUtf8();
}

void statusCommand(const FleetInvocation& invocation, FleetOutcome& out)
{
    const QList<fleet::SiteStatus> sites = currentStatus(invocation);
    out.document = fleet::statusDocument(sites);
    out.plain = fleet::statusLines(sites);
}

void reportCommand(const FleetInvocation& invocation, FleetOutcome& out)
{
    const QList<fleet::SiteStatus> sites = currentStatus(invocation);
    RegisterFolder::writePrivateFile(invocation.output,
                                     fleet::htmlReport(sites, QDateTime::currentDateTimeUtc()));
    out.document = {{QStringLiteral("command"), QStringLiteral("fleet report")},
                    {QStringLiteral("ok"), true},
                    {QStringLiteral("exit_code"), 0},
                    {QStringLiteral("output"), invocation.output},
                    {QStringLiteral("sites"), int(sites.size())}};
    out.plain = QStringLiteral("%1 sites written to %2\n")
                    .arg(sites.size())
                    .arg(invocation.output)
                    .toUtf8();
}

void historyCommand(const FleetInvocation& invocation, FleetOutcome& out)
{
    const RegisterFolder folder = openRegister(invocation);
    const QString site = RegisterFolder::selected(folder.sites(), invocation.sites).first().name;
    const QString path = RegisterFolder::siteFile(site);
    const fleet::GitRepository git = folder.git();
    QJsonArray entries;
    QByteArray plain;
    for (const fleet::GitRepository::Commit& commit : git.commitsTouching(path)) {
        const QList<provisioning::Change> changes = fleet::changesBetween(
            git.fileAt(commit.hash + QStringLiteral("^"), path).value_or(QByteArray()),
            git.fileAt(commit.hash, path).value_or(QByteArray()));
        entries.append(QJsonObject{{QStringLiteral("commit"), commit.hash},
                                   {QStringLiteral("date"), commit.date},
                                   {QStringLiteral("author"), commit.author},
                                   {QStringLiteral("subject"), commit.subject},
                                   {QStringLiteral("changes"), changesJson(changes)}});
        plain += QStringLiteral("%1  %2  %3  %4\n")
                     .arg(commit.date, commit.hash.left(12), commit.author, commit.subject)
                     .toUtf8();
        for (const QByteArray& line : provisioning::changeLines(changes).toUtf8().split('\n'))
            if (!line.isEmpty())
                plain += "    " + line + '\n';
    }
    out.document = {{QStringLiteral("command"), QStringLiteral("fleet history")},
                    {QStringLiteral("ok"), true},
                    {QStringLiteral("exit_code"), 0},
                    {QStringLiteral("site"), site},
                    {QStringLiteral("history"), entries}};
    out.plain = plain;
}

void restoreCommand(const FleetInvocation& invocation, FleetOutcome& out)
{
    RegisterFolder folder(invocation.folder);
    folder.checkIsRegister();
    folder.checkCommittable();
    const fleet::RegisterLock lock(folder);
    const fleet::Site site = RegisterFolder::selected(folder.sites(), invocation.sites).first();
    const QString revision = revisionOf(folder, site.name, invocation.to);
    const provisioning::ManagedConfiguration version = versionOf(folder, site.name, revision);
    bool declined = false;
    const fleet_unit::UnitRun run =
        fleet_unit::apply(site.device, invocation.replyWait, version,
                          [&](const provisioning::ApplyOutcome& compared) {
                              return confirmed(invocation, site.name, compared, declined);
                          });
    if (run.error)
        throw *run.error;
    std::optional<QString> commit;
    if (run.backup) {
        fleet::RunRecord record(
            folder, QStringLiteral("restore %1 to %2").arg(site.name, revision.left(12)));
        record.read(site.name, *run.backup, false);
        commit = record.finish();
    }
    out.exit = declined ? Exit::Differences : Exit::Done;
    out.document = {{QStringLiteral("command"), QStringLiteral("fleet restore")},
                    {QStringLiteral("ok"), !declined},
                    {QStringLiteral("exit_code"), int(out.exit)},
                    {QStringLiteral("site"), site.name},
                    {QStringLiteral("revision"), revision},
                    {QStringLiteral("written"), !declined && !run.written.isEmpty()},
                    {QStringLiteral("differences"), changesJson(run.differences)},
                    {QStringLiteral("commit"), commit ? QJsonValue(*commit) : QJsonValue()}};
    out.plain = provisioning::changeLines(run.differences).toUtf8();
    if (declined)
        out.plain += "nothing was written: answer yes on a terminal, or give --yes\n";
    else if (run.differences.isEmpty())
        out.plain += "the unit already holds that version\n";
}

} // namespace tarvex::cli
