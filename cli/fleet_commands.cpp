#include "cli/fleet_commands.h"

#include "cli/fleet_hook.h"
#include "cli/fleet_jobs.h"
#include "cli/fleet_unit.h"
#include "cli/interruption.h"
#include "cli/result.h"
#include "cli/standard_output.h"
#include "register/register_error.h"
#include "register/register_folder.h"
#include "register/run_record.h"
#include "register/site_template.h"

#include <QJsonArray>
#include <QJsonDocument>

#include <cstdio>
#include <vector>

namespace tarvex::cli {

// The views that change nothing: status, history, report; and init and restore.
void statusCommand(const FleetInvocation& invocation, FleetOutcome& out);
void historyCommand(const FleetInvocation& invocation, FleetOutcome& out);
void reportCommand(const FleetInvocation& invocation, FleetOutcome& out);
void initCommand(const FleetInvocation& invocation, FleetOutcome& out);
void restoreCommand(const FleetInvocation& invocation, FleetOutcome& out);

namespace {

using fleet::RegisterFolder;
using fleet::Site;
using fleet_unit::UnitRun;

Exit exitOf(fleet::RegisterError::Kind kind)
{
    using Kind = fleet::RegisterError::Kind;
    switch (kind) {
    case Kind::InvalidInput:
        return Exit::InvalidFile;
    case Kind::Unreadable:
        return Exit::UnreadableFile;
    case Kind::Unwritable:
        return Exit::CannotWriteOutput;
    case Kind::Busy:
        return Exit::PortBusy;
    case Kind::GitMissing:
        return Exit::NoUnit;
    case Kind::GitFailed:
        return Exit::Unexpected;
    }
    return Exit::Unexpected;
}

QString kindName(fleet::RegisterError::Kind kind)
{
    using Kind = fleet::RegisterError::Kind;
    switch (kind) {
    case Kind::InvalidInput:
        return QStringLiteral("invalid-register");
    case Kind::Unreadable:
        return QStringLiteral("unreadable-file");
    case Kind::Unwritable:
        return QStringLiteral("output-unwritable");
    case Kind::Busy:
        return QStringLiteral("register-busy");
    case Kind::GitMissing:
        return QStringLiteral("git-missing");
    case Kind::GitFailed:
        return QStringLiteral("git-failed");
    }
    return QStringLiteral("unexpected");
}

const RegisterFolder& checkedForWriting(const RegisterFolder& folder)
{
    folder.checkIsRegister();
    folder.checkCommittable();
    return folder;
}

// A register open for a run that writes: the register checked, then locked.
struct WritingRun
{
    explicit WritingRun(const FleetInvocation& invocation)
        : folder(invocation.folder), lock(checkedForWriting(folder))
    {}
    RegisterFolder folder;
    fleet::RegisterLock lock;
};

// Every site's task at once; the run ends as interrupted when Ctrl-C came, before anything
// is written.
QList<UnitRun> runSites(const QList<Site>& sites, int jobs,
                        const std::function<UnitRun(qsizetype index)>& work)
{
    std::vector<UnitRun> runs(size_t(sites.size())); // each thread fills its own element
    QList<std::function<void()>> tasks;
    for (qsizetype index = 0; index < sites.size(); ++index)
        tasks.append([&, index] { runs[size_t(index)] = work(index); });
    runAtOnce(tasks, jobs);
    if (interruption::requested())
        interruption::end();
    return QList<UnitRun>(runs.begin(), runs.end());
}

QJsonObject siteEntry(const QString& name, const QString& result,
                      const QList<provisioning::Change>& changes,
                      const std::optional<Failure>& error)
{
    return {{QStringLiteral("name"), name},
            {QStringLiteral("result"), result},
            {QStringLiteral("changes"), changesJson(changes)},
            {QStringLiteral("error"), errorJson(error)}};
}

// The run's summary, as printed and as the hook gets it.
void summarize(const QString& command, const QList<Site>& sites, const QList<UnitRun>& runs,
               const fleet::RunRecord& record, const std::optional<QString>& commit,
               FleetOutcome& out)
{
    QJsonArray entries;
    QStringList changedNames;
    QStringList failedNames;
    QString plain;
    for (qsizetype index = 0; index < sites.size(); ++index) {
        const QString& name = sites.at(index).name;
        const auto changed = std::find_if(record.changed().begin(), record.changed().end(),
                                          [&](const auto& site) { return site.name == name; });
        const UnitRun& run = runs.at(index);
        const QString result = run.error                           ? QStringLiteral("failed")
                               : changed == record.changed().end() ? QStringLiteral("unchanged")
                               : changed->first                    ? QStringLiteral("first-read")
                                                                   : QStringLiteral("changed");
        entries.append(siteEntry(name, result,
                                 changed == record.changed().end() ? QList<provisioning::Change>{}
                                                                   : changed->changes,
                                 run.error));
        if (run.error)
            failedNames << name;
        else if (changed != record.changed().end())
            changedNames << name;
        plain += QStringLiteral("%1  %2%3\n")
                     .arg(name, result,
                          run.error ? QStringLiteral(": ") + run.error->message() : QString());
    }
    out.exit = failedNames.isEmpty() ? Exit::Done : Exit::LineLost;
    out.document = {{QStringLiteral("command"), QStringLiteral("fleet ") + command},
                    {QStringLiteral("ok"), failedNames.isEmpty()},
                    {QStringLiteral("exit_code"), int(out.exit)},
                    {QStringLiteral("commit"), commit ? QJsonValue(*commit) : QJsonValue()},
                    {QStringLiteral("changed"), QJsonArray::fromStringList(changedNames)},
                    {QStringLiteral("failed"), QJsonArray::fromStringList(failedNames)},
                    {QStringLiteral("sites"), entries}};
    out.plain = (plain + QStringLiteral("%1 changed, %2 failed%3\n")
                             .arg(changedNames.size())
                             .arg(failedNames.size())
                             .arg(commit ? QStringLiteral("; commit ") + commit->left(12)
                                         : QStringLiteral("; no commit")))
                    .toUtf8();
}

void record(fleet::RunRecord& record, const QList<Site>& sites, const QList<UnitRun>& runs,
            bool onSite)
{
    for (qsizetype index = 0; index < sites.size(); ++index) {
        const UnitRun& run = runs.at(index);
        if (run.error)
            record.failed(sites.at(index).name, run.error->message());
        else if (run.backup)
            record.read(sites.at(index).name, *run.backup, onSite);
    }
}

void backupCommand(const FleetInvocation& invocation, FleetOutcome& out)
{
    const WritingRun run(invocation);
    const QList<Site> sites = RegisterFolder::selected(run.folder.sites(), invocation.sites);
    const QList<UnitRun> runs = runSites(sites, invocation.jobs, [&](qsizetype index) {
        return fleet_unit::backup(sites.at(index).device, invocation.replyWait);
    });
    fleet::RunRecord written(run.folder, QStringLiteral("backup"));
    record(written, sites, runs, true);
    const std::optional<QString> commit = written.finish();
    summarize(QStringLiteral("backup"), sites, runs, written, commit, out);
    if (!written.changed().isEmpty() || !written.failures().isEmpty())
        runHook(invocation.onChange, out.document);
}

// The sites apply works on: those named, or every site with a template.
QList<Site> sitesToApply(const RegisterFolder& folder, const QStringList& names)
{
    QList<Site> sites;
    for (const Site& site : RegisterFolder::selected(folder.sites(), names)) {
        if (!site.templatePath.isEmpty())
            sites.append(site);
        else if (!names.isEmpty())
            fleet::invalid(QStringLiteral("site %1 has no template to apply; nothing was sent")
                               .arg(site.name));
    }
    return sites;
}

// Every site rendered and judged before anything is sent: one bad site stops them all.
QList<provisioning::ManagedConfiguration> renderAll(const RegisterFolder& folder,
                                                    const QList<Site>& sites)
{
    QList<provisioning::ManagedConfiguration> files;
    QStringList problems;
    for (const Site& site : sites) {
        const fleet::RenderedSite rendered = fleet::renderSite(site, folder.templateOf(site));
        problems << rendered.problems;
        if (rendered.configuration)
            files.append(*rendered.configuration);
    }
    if (!problems.isEmpty())
        fleet::invalid(QStringLiteral("nothing was sent; the sites' files are not valid:\n%1")
                           .arg(problems.join(u'\n')));
    return files;
}

void presentCheck(const QList<Site>& sites, const QList<UnitRun>& runs, FleetOutcome& out)
{
    QJsonArray entries;
    QByteArray plain;
    for (qsizetype index = 0; index < sites.size(); ++index) {
        const UnitRun& run = runs.at(index);
        const QString result = run.error                   ? QStringLiteral("failed")
                               : run.differences.isEmpty() ? QStringLiteral("as-template")
                                                           : QStringLiteral("would-change");
        entries.append(siteEntry(sites.at(index).name, result, run.differences, run.error));
        plain += QStringLiteral("%1  %2%3\n")
                     .arg(sites.at(index).name, result,
                          run.error ? QStringLiteral(": ") + run.error->message() : QString())
                     .toUtf8();
        for (const QByteArray& line :
             provisioning::changeLines(run.differences).toUtf8().split('\n'))
            if (!line.isEmpty())
                plain += "    " + line + '\n';
        if (run.error && out.exit == Exit::Done)
            out.exit = run.error->code();
    }
    out.document = {{QStringLiteral("command"), QStringLiteral("fleet apply")},
                    {QStringLiteral("check_mode"), true},
                    {QStringLiteral("ok"), out.exit == Exit::Done},
                    {QStringLiteral("exit_code"), int(out.exit)},
                    {QStringLiteral("sites"), entries}};
    out.plain = plain;
}

void applyCommand(const FleetInvocation& invocation, FleetOutcome& out)
{
    const WritingRun run(invocation);
    const QList<Site> sites = sitesToApply(run.folder, invocation.sites);
    const QList<provisioning::ManagedConfiguration> files = renderAll(run.folder, sites);
    const QList<UnitRun> runs = runSites(sites, invocation.jobs, [&](qsizetype index) {
        return fleet_unit::apply(sites.at(index).device, invocation.replyWait, files.at(index),
                                 invocation.check ? provisioning::neverWrite
                                                  : provisioning::alwaysWrite);
    });
    if (invocation.check)
        return presentCheck(sites, runs, out);
    fleet::RunRecord written(run.folder, QStringLiteral("apply"));
    record(written, sites, runs, false);
    const std::optional<QString> commit = written.finish();
    summarize(QStringLiteral("apply"), sites, runs, written, commit, out);
    for (const UnitRun& unit : runs)
        if (unit.error) {
            out.exit = unit.error->code();
            out.document.insert(QStringLiteral("exit_code"), int(out.exit));
            break;
        }
    if (!written.changed().isEmpty() || !written.failures().isEmpty())
        runHook(invocation.onChange, out.document);
}

void dispatch(const FleetInvocation& invocation, FleetOutcome& out)
{
    if (invocation.command == u"init")
        initCommand(invocation, out);
    else if (invocation.command == u"backup")
        backupCommand(invocation, out);
    else if (invocation.command == u"status")
        statusCommand(invocation, out);
    else if (invocation.command == u"apply")
        applyCommand(invocation, out);
    else if (invocation.command == u"restore")
        restoreCommand(invocation, out);
    else if (invocation.command == u"history")
        historyCommand(invocation, out);
    else
        reportCommand(invocation, out);
}

} // namespace

FleetOutcome runFleet(const FleetInvocation& invocation)
{
    FleetOutcome out;
    try {
        try {
            dispatch(invocation, out);
        } catch (const fleet::RegisterError& error) {
            throw Failure(exitOf(error.kind()), kindName(error.kind()), error.message());
        }
    } catch (const Failure& failure) {
        out.error = failure;
        out.exit = failure.code();
        out.document = {{QStringLiteral("command"), QStringLiteral("fleet ") + invocation.command},
                        {QStringLiteral("ok"), false},
                        {QStringLiteral("exit_code"), int(failure.code())},
                        {QStringLiteral("error"), errorJson(failure)}};
        out.plain.clear();
    }
    return out;
}

int printFleetOutcome(const FleetInvocation& invocation, const FleetOutcome& outcome)
{
    const std::optional<QString> lost = standard_output::write(
        invocation.json ? QJsonDocument(outcome.document).toJson(QJsonDocument::Indented)
                        : outcome.plain);
    if (outcome.error)
        std::fprintf(stderr, "tarvex-cli fleet: %s\n", qPrintable(outcome.error->message()));
    if (!lost)
        return int(outcome.exit);
    std::fprintf(stderr, "tarvex-cli fleet: the result could not be written: %s\n",
                 qPrintable(*lost));
    return int(Exit::CannotWriteOutput);
}

} // namespace tarvex::cli
