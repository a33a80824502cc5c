#include "cli/commands.h"

#include "cli/blocking_step.h"
#include "cli/exchange_log.h"
#include "cli/input_file.h"
#include "cli/unit_choice.h"
#include "cli/unit_port.h"
#include "files/atomic_file.h"
#include "protocol/events.h"
#include "protocol/value_rules.h"
#include "protocol/wire_text.h"
#include "provisioning/apply.h"
#include "provisioning/configuration_file.h"

#include <QJsonArray>

#include <cstdio>
#include <memory>

namespace tarvex::cli {
namespace {

using provisioning::Change;
using provisioning::Item;
using provisioning::ManagedConfiguration;
using provisioning::UnitValues;

void warn(const Invocation& invocation, ExchangeLog& log, Result& result, const QString& text)
{
    result.warnings << text;
    if (invocation.quiet)
        return;
    log.clearProgress();
    std::fprintf(stderr, "tarvex-cli: warning: %s\n", qPrintable(text));
}

std::unique_ptr<UnitPort> connectUnit(const Invocation& invocation, ExchangeLog& log,
                                      Result& result)
{
    const ChosenUnit chosen = chooseUnit(invocation, log);
    result.device = chosen.device;
    auto session = std::make_unique<UnitPort>(chosen.device, invocation.replyWait, log);
    session->open();
    result.identity = chosen.identity.isEmpty() ? session->identify() : chosen.identity;
    return session;
}

Failure outputUnwritable(const QString& path, const QString& reason)
{
    return Failure(Exit::CannotWriteOutput, QStringLiteral("output-unwritable"),
                   QStringLiteral("cannot write %1: %2").arg(path, reason));
}

void readUnit(const Invocation& invocation, ExchangeLog& log, Result& result)
{
    // Opened first, so that a folder that is not there costs no exchange; committed only
    // when everything was read.
    std::shared_ptr<files::AtomicFile> output;
    if (!invocation.outputPath.isEmpty()) {
        output = std::make_shared<files::AtomicFile>(invocation.outputPath);
        if (!runBlocking<bool>([output] { return output->open(); }))
            throw outputUnwritable(invocation.outputPath, output->errorString());
    }
    const auto session = connectUnit(invocation, log, result);
    UnitValues unit;
    session->onReadStart([&log](int total) { log.expect(log.exchanges() + total); });
    session->read(provisioning::allItems(!invocation.noMessages), unit);

    const ManagedConfiguration configuration = provisioning::configurationOf(unit, result.identity);
    for (const provisioning::Problem& problem : provisioning::problemsOf(configuration)) {
        warn(invocation, log, result,
             QStringLiteral("the unit's %1 breaks a rule of the file format: %2")
                 .arg(problem.path, problem.rule));
    }
    result.extra.insert(QStringLiteral("configuration"), provisioning::toJson(configuration));
    result.verified = true;
    if (!output) {
        result.plainOutput = provisioning::fileText(configuration);
        return;
    }
    if (!output->commit(provisioning::fileText(configuration)))
        throw outputUnwritable(invocation.outputPath, output->errorString());
}

void warnOfOtherIdentity(const Invocation& invocation, ExchangeLog& log,
                         const ManagedConfiguration& file, Result& result)
{
    if (!file.identity.isEmpty() && file.identity != result.identity)
        warn(invocation, log, result,
             QStringLiteral("the unit is \"%1\", the file names \"%2\"")
                 .arg(result.identity, file.identity));
}

void diffUnit(const Invocation& invocation, ExchangeLog& log, Result& result)
{
    const ManagedConfiguration file = loadConfigurationFile(invocation.arguments.first());
    const auto session = connectUnit(invocation, log, result);
    warnOfOtherIdentity(invocation, log, file, result);
    UnitValues unit;
    result.changes = session->readAndCompare(file, unit);
    result.plainOutput = provisioning::changeLines(result.changes);
    result.verified = result.changes.isEmpty();
    if (!result.changes.isEmpty())
        result.exit = Exit::Differences;
}

void applyFile(const Invocation& invocation, ExchangeLog& log, Result& result)
{
    const ManagedConfiguration file = loadConfigurationFile(invocation.arguments.first());
    result.checkMode = invocation.check;
    const auto session = connectUnit(invocation, log, result);
    warnOfOtherIdentity(invocation, log, file, result);
    applyConfiguration(*session, file, invocation.check, result);
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

// A run that ends while writing reports as changes only what the unit took; the rest, planned
// but never sent, apart.
void keepWrittenChanges(const QList<Item>& written, Result& result)
{
    QList<Change> sent;
    for (const Change& change : std::as_const(result.changes))
        (written.contains(change.item) ? sent : result.notSent) << change;
    result.changes = sent;
    result.changed = !sent.isEmpty();
    result.plainOutput = provisioning::changeLines(sent);
}

} // namespace

ManagedConfiguration loadConfigurationFile(const QString& path)
{
    const QByteArray bytes = readInputFile(path);
    return engineStep([&] { return provisioning::configurationFromBytes(bytes, inputName(path)); });
}

// Compare, write only what differs, verify by reading back, one more try for what still
// differs: apply's and message set's steps, each reflected in the result as it is known.
void applyConfiguration(UnitPort& session, const ManagedConfiguration& file, bool check,
                        Result& result)
{
    UnitValues unit;
    result.changes = session.readAndCompare(file, unit);
    result.changed = !result.changes.isEmpty();
    result.plainOutput = provisioning::changeLines(result.changes);
    if (check || result.changes.isEmpty()) {
        result.verified = result.changes.isEmpty();
        return;
    }
    QList<Change> remaining;
    try {
        remaining = session.writeAndVerify(file, result.changes, unit);
    } catch (const Failure&) {
        keepWrittenChanges(session.written(), result);
        throw;
    }
    if (!remaining.isEmpty())
        throw failureOf(provisioning::notVerified(remaining, session.device()));
    result.verified = true;
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
