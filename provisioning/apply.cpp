#include "provisioning/apply.h"

#include "files/bounded_read.h"
#include "link/link_errors.h"
#include "provisioning/unit_session.h"

#include <algorithm>
#include <optional>

namespace tarvex::provisioning {
namespace {

using Kind = Item::Kind;

// What the unit holds once it has acknowledged the write of item: the file's value.
void takeWritten(UnitValues& unit, const ManagedConfiguration& file, const Item& item)
{
    switch (item.kind) {
    case Kind::Count:
        unit.count = int(file.numbers.value_or(QStringList()).size());
        break;
    case Kind::Mask:
        unit.mask = maskToWrite(unit, file);
        break;
    case Kind::Phone:
        unit.phones[size_t(item.slot)] =
            item.slot == protocol::kTestPhoneSlot ? *file.testNumber : file.numbers->at(item.slot);
        break;
    case Kind::Message:
        unit.messages[size_t(item.slot)] = file.events[size_t(item.slot)].message;
        break;
    }
}

// Writes the items, reads them back; the items that still differ. unit holds what the unit
// acknowledged even when the run ends among the writes, and what it gave back once read.
QList<Item> writeAndReadBack(UnitSession& session, const QList<Item>& items,
                             const ManagedConfiguration& file, UnitValues& unit)
{
    const qsizetype before = session.writes().size();
    const auto takeAcknowledged = [&] {
        for (const UnitSession::Write& write : session.writes().mid(before)) {
            if (write.answered)
                takeWritten(unit, file, write.item);
        }
    };
    try {
        session.write(items, file, unit);
    } catch (...) {
        takeAcknowledged();
        throw;
    }
    takeAcknowledged();
    session.read(items, unit);
    return itemsToWrite(differences(unit, file));
}

QString otherIdentityOf(const ManagedConfiguration& file, const QString& unitIdentity)
{
    return file.identity.isEmpty() || file.identity == unitIdentity ? QString() : file.identity;
}

// Sorts the planned changes by the last write of their item: answered, sent unanswered (the
// unit may hold it), or never sent.
void sortBySent(const QList<UnitSession::Write>& writes, ApplyOutcome& outcome)
{
    for (const Change& change : std::as_const(outcome.differences)) {
        const auto last = std::find_if(writes.crbegin(), writes.crend(), [&](const auto& write) {
            return write.item == change.item;
        });
        if (last == writes.crend())
            outcome.notSent << change;
        else
            (last->answered ? outcome.written : outcome.unconfirmed) << change;
    }
}

Verdict writeAndVerify(UnitSession& session, const ManagedConfiguration& file,
                       ApplyOutcome& outcome)
{
    QList<Item> differing =
        writeAndReadBack(session, itemsToWrite(outcome.differences), file, outcome.unit);
    if (!differing.isEmpty())
        differing = writeAndReadBack(session, differing, file, outcome.unit);
    outcome.written = outcome.differences;
    if (differing.isEmpty())
        return verdict::Verified{};
    outcome.stillDiffering = differences(outcome.unit, file);
    return verdict::StillDiffering{};
}

// The verdict of a run that the writes had begun, ended by what; every planned change sorted.
Verdict endedWhileWriting(const Ending& why, const QList<UnitSession::Write>& writes,
                          ApplyOutcome& outcome)
{
    sortBySent(writes, outcome);
    if (const auto* lost = std::get_if<LostLine>(&why))
        return verdict::LineLostWhileWriting{*lost};
    return verdict::StoppedWhileWriting{std::get<Failure>(why)};
}

// Reads and, when decide says so, writes; a run that ends early throws a Failure or
// link::LinkError.
Verdict readAndWrite(UnitSession& session, const ManagedConfiguration& file,
                     const WriteDecision& decide, ApplyOutcome& outcome)
{
    session.read(itemsManagedBy(file), outcome.unit);
    outcome.differences = differences(outcome.unit, file);
    if (outcome.differences.isEmpty())
        return verdict::AlreadyEqual{};
    if (!decide(outcome))
        return verdict::Declined{};
    return writeAndVerify(session, file, outcome);
}

} // namespace

ManagedConfiguration loadConfigurationFile(const files::BoundedRead& read, const QString& name)
{
    const Loaded loaded = loadConfiguration(fileBytes(read, name));
    if (!loaded.configuration)
        throw Failure(Failure::Kind::InvalidFile,
                      QStringLiteral("%1 is not a valid configuration; nothing was sent:\n%2")
                          .arg(name, problemLines(loaded.problems)));
    return *loaded.configuration;
}

QByteArray fileBytes(const files::BoundedRead& read, const QString& name)
{
    using Outcome = files::BoundedRead::Outcome;
    if (read.outcome == Outcome::TooLarge)
        throw Failure(Failure::Kind::InvalidFile,
                      QStringLiteral("%1 is larger than %2 bytes, far more than any "
                                     "configuration or message; nothing was sent")
                          .arg(name)
                          .arg(kLargestInputFile));
    if (read.outcome == Outcome::Unreadable)
        throw Failure(Failure::Kind::UnreadableFile,
                      QStringLiteral("cannot read %1: %2").arg(name, read.reason));
    return read.bytes;
}

QString problemLines(const QList<Problem>& problems, const PathName& name)
{
    QStringList lines;
    for (const Problem& problem : problems)
        lines << QStringLiteral("%1: %2").arg(name ? name(problem.path) : problem.path,
                                              problem.rule);
    return lines.join(u'\n');
}

ApplyOutcome apply(UnitSession& session, const ManagedConfiguration& file,
                   const QString& unitIdentity, const WriteDecision& decide)
{
    ApplyOutcome outcome;
    outcome.otherIdentity = otherIdentityOf(file, unitIdentity);
    const qsizetype writesBefore = session.writes().size();
    bool writing = false;
    const auto decideAndNote = [&](const ApplyOutcome& compared) {
        return writing = decide(compared);
    };
    std::optional<Ending> ended;
    try {
        outcome.verdict = readAndWrite(session, file, decideAndNote, outcome);
        return outcome;
    } catch (const Failure& failure) {
        ended = failure;
    } catch (const link::LinkError& error) {
        ended = LostLine{error.device(), error.reason()};
    }
    outcome.verdict = writing
                          ? endedWhileWriting(*ended, session.writes().mid(writesBefore), outcome)
                          : Verdict(verdict::FailedBeforeWriting{*ended});
    return outcome;
}

int writeExchanges(const QList<Change>& differences)
{
    return 2 * int(itemsToWrite(differences).size()); // writeAndReadBack: write, then read
}

bool alwaysWrite(const ApplyOutcome&)
{
    return true;
}

bool neverWrite(const ApplyOutcome&)
{
    return false;
}

Failure notVerified(const QList<Change>& remaining, const QString& device)
{
    QStringList paths;
    for (const Change& change : remaining)
        paths << QStringLiteral("%1 (unit holds %2)").arg(change.path, valueText(change.before));
    return Failure(Failure::Kind::NotVerified,
                   QStringLiteral("written twice, but the unit still differs: %1")
                       .arg(paths.join(QStringLiteral(", "))),
                   device);
}

} // namespace tarvex::provisioning
