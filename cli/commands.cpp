#include "cli/commands.h"

#include "cli/blocking_step.h"
#include "cli/exchange_log.h"
#include "cli/input_file.h"
#include "cli/unit_choice.h"
#include "cli/unit_port.h"
#include "protocol/events.h"
#include "protocol/value_rules.h"
#include "protocol/wire_text.h"
#include "provisioning/apply.h"
#include "provisioning/backup.h"
#include "provisioning/configuration_file.h"

#include <QJsonArray>

#include <cstdio>
#include <memory>
#include <optional>
#include <variant>

namespace tarvex::cli {
namespace {

using provisioning::ApplyOutcome;
using provisioning::Item;
using provisioning::ManagedConfiguration;
using provisioning::UnitValues;

std::unique_ptr<UnitPort> connectUnit(const Invocation& invocation, ExchangeLog& log,
                                      Result& result)
{
    const ChosenUnit chosen = chooseUnit(invocation, log);
    result.device = chosen.device.text();
    auto session = std::make_unique<UnitPort>(chosen.device, invocation.replyWait, log);
    session->open();
    result.identity = chosen.identity.isEmpty() ? session->identify() : chosen.identity;
    return session;
}

provisioning::WriteDecision writeUnlessChecking(bool check)
{
    return check ? provisioning::neverWrite : provisioning::alwaysWrite;
}

// Plain output: one line for each change, each ending with a line break.
QByteArray changeOutput(const QList<provisioning::Change>& changes)
{
    const QString lines = provisioning::changeLines(changes);
    return lines.isEmpty() ? QByteArray() : (lines + u'\n').toUtf8();
}

// Each verdict as the program presents it, once for apply, --check, diff and the bench loop:
// what it lists as changes, whether the unit was verified, and the failure it ends with. A
// run that ends among its writes lists as changes only what the unit took; what went out
// unanswered as unconfirmed; the rest, planned but never sent, apart.
void presentApply(const UnitPort& session, const ApplyOutcome& outcome, Result& result)
{
    namespace verdict = provisioning::verdict;
    std::optional<Failure> failure;
    std::visit(
        provisioning::Overloaded{
            [&](const verdict::AlreadyEqual&) { result.verified = true; },
            [&](const verdict::Declined&) { result.changes = outcome.differences; },
            [&](const verdict::Verified&) {
                result.changes = outcome.differences;
                result.verified = true;
            },
            [&](const verdict::StillDiffering&) {
                result.changes = outcome.differences;
                failure =
                    failureOf(provisioning::notVerified(outcome.stillDiffering, session.device()));
            },
            [&](const verdict::FailedBeforeWriting& failed) { failure = failureOf(failed.why); },
            [&](const verdict::StoppedWhileWriting& stopped) {
                result.changes = outcome.written;
                failure = failureOf(stopped.why);
            },
            [&](const verdict::LineLostWhileWriting& lost) {
                result.changes = outcome.written;
                failure = lineLostFailure(lost.line);
            },
        },
        outcome.verdict);
    result.unconfirmed = outcome.unconfirmed;
    result.notSent = outcome.notSent;
    result.changed = !result.changes.isEmpty() || !result.unconfirmed.isEmpty();
    result.plainOutput = changeOutput(result.changes);
    if (failure)
        throw *failure;
}

void readUnit(const Invocation& invocation, ExchangeLog& log, Result& result)
{
    // Opened first, so that a folder that is not there costs no exchange; committed only
    // when everything was read.
    std::optional<provisioning::BackupFile> output;
    if (!invocation.outputPath.isEmpty()) {
        output.emplace(invocation.outputPath);
        const bool opened = runBlocking<bool>(output->opening());
        engineStep([&] { output->checkOpened(opened); });
    }
    const auto session = connectUnit(invocation, log, result);
    session->onReadStart([&log](int total) { log.expect(log.exchanges() + total); });
    const provisioning::Backup backup =
        session->readBackup(result.identity, !invocation.noMessages);
    for (const provisioning::Problem& problem : backup.problems) {
        warn(invocation, log, result,
             QStringLiteral("the unit's %1 breaks a rule of the file format: %2")
                 .arg(problem.path, problem.rule));
    }
    result.extra.insert(QStringLiteral("configuration"),
                        provisioning::toJson(backup.configuration));
    result.verified = true;
    if (output)
        engineStep([&] { output->commit(backup.text); });
    else
        result.plainOutput = backup.text;
}

void warnOfOtherIdentity(const Invocation& invocation, ExchangeLog& log,
                         const ApplyOutcome& outcome, Result& result)
{
    if (!outcome.otherIdentity.isEmpty())
        warn(invocation, log, result,
             QStringLiteral("the unit is \"%1\", the file names \"%2\"")
                 .arg(result.identity, outcome.otherIdentity));
}

void diffUnit(const Invocation& invocation, ExchangeLog& log, Result& result)
{
    const ManagedConfiguration file = readConfigurationFile(invocation.arguments.first());
    const auto session = connectUnit(invocation, log, result);
    const ApplyOutcome outcome = session->apply(file, result.identity, provisioning::neverWrite);
    warnOfOtherIdentity(invocation, log, outcome, result);
    presentApply(*session, outcome, result);
    result.changed = false; // diff compares only, even where apply would write
    if (!result.changes.isEmpty())
        result.exit = Exit::Differences;
}

void applyFile(const Invocation& invocation, ExchangeLog& log, Result& result)
{
    const ManagedConfiguration file = readConfigurationFile(invocation.arguments.first());
    result.checkMode = invocation.check;
    const auto session = connectUnit(invocation, log, result);
    const ApplyOutcome outcome =
        session->apply(file, result.identity, writeUnlessChecking(invocation.check));
    warnOfOtherIdentity(invocation, log, outcome, result);
    presentApply(*session, outcome, result);
}

int eventArgument(const QString& key)
{
    const auto event = protocol::eventIndex(key);
    if (!event)
        throw Failure(Exit::Usage, QStringLiteral("usage"),
                      QStringLiteral("unknown event \"%1\"; the events are %2")
                          .arg(key, protocol::eventKeyList()));
    return *event;
}

QString messageFromFile(const QString& path)
{
    // Editors end a text file with a line break; the unit's text never keeps one.
    return protocol::withoutTrailingLineEnd(QString::fromUtf8(readInputFile(path)));
}

void messageCommand(const Invocation& invocation, ExchangeLog& log, Result& result)
{
    const int event = eventArgument(invocation.arguments.at(1));
    if (invocation.arguments.first() == u"get") {
        const auto session = connectUnit(invocation, log, result);
        UnitValues unit;
        session->read({{Item::Kind::Message, event}}, unit);
        result.extra.insert(QStringLiteral("message"), *unit.messages[size_t(event)]);
        result.plainOutput = unit.messages[size_t(event)]->toUtf8() + '\n';
        return;
    }
    ManagedConfiguration file;
    file.events[size_t(event)].message = invocation.messageFile.isEmpty()
                                             ? invocation.arguments.at(2)
                                             : messageFromFile(invocation.messageFile);
    if (const QString rule = protocol::messageProblem(*file.events[size_t(event)].message);
        !rule.isEmpty())
        throw Failure(
            Exit::InvalidFile, QStringLiteral("invalid-file"),
            QStringLiteral("%1: %2; nothing was sent").arg(provisioning::messagePath(event), rule));
    const auto session = connectUnit(invocation, log, result);
    applyConfiguration(*session, file, false, result);
}

} // namespace

void applyConfiguration(UnitPort& session, const ManagedConfiguration& file, bool check,
                        Result& result)
{
    presentApply(session, session.apply(file, result.identity, writeUnlessChecking(check)), result);
}

void warn(const Invocation& invocation, ExchangeLog& log, Result& result, const QString& text)
{
    result.warnings << text;
    if (invocation.quiet)
        return;
    log.clearProgress();
    std::fprintf(stderr, "tarvex-cli: warning: %s\n", qPrintable(text));
}

void runCommand(const Invocation& invocation, ExchangeLog& log, Result& result)
{
    result.command = invocation.command;
    if (invocation.command == u"ports")
        listPorts(invocation, result);
    else if (invocation.command == u"scan")
        scanPorts(invocation, log, result);
    else if (invocation.command == u"read")
        readUnit(invocation, log, result);
    else if (invocation.command == u"diff")
        diffUnit(invocation, log, result);
    else if (invocation.command == u"apply")
        applyFile(invocation, log, result);
    else
        messageCommand(invocation, log, result);
}

} // namespace tarvex::cli
