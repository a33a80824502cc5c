#include "provisioning/apply.h"

#include "files/bounded_read.h"
#include "provisioning/unit_session.h"

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
    const qsizetype before = session.written().size();
    const auto takeAcknowledged = [&] {
        for (const Item& item : session.written().mid(before))
            takeWritten(unit, file, item);
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

// Splits the planned changes into those the unit took and those never sent.
void sortBySent(const QList<Item>& acknowledged, ApplyOutcome& outcome)
{
    for (const Change& change : std::as_const(outcome.differences))
        (acknowledged.contains(change.item) ? outcome.written : outcome.notSent) << change;
}

void writeAndVerify(UnitSession& session, const ManagedConfiguration& file, ApplyOutcome& outcome)
{
    QList<Item> differing =
        writeAndReadBack(session, itemsToWrite(outcome.differences), file, outcome.unit);
    if (!differing.isEmpty())
        differing = writeAndReadBack(session, differing, file, outcome.unit);
    if (!differing.isEmpty())
        outcome.stillDiffering = differences(outcome.unit, file);
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

QString problemLines(const QList<Problem>& problems)
{
    QStringList lines;
    for (const Problem& problem : problems)
        lines << problem.text();
    return lines.join(u'\n');
}

ApplyOutcome apply(UnitSession& session, const ManagedConfiguration& file,
                   const QString& unitIdentity, const WriteDecision& decide)
{
    ApplyOutcome outcome;
    outcome.otherIdentity = otherIdentityOf(file, unitIdentity);
    const qsizetype writtenBefore = session.written().size();
    try {
        session.read(itemsManagedBy(file), outcome.unit);
        outcome.differences = differences(outcome.unit, file);
        if (outcome.differences.isEmpty() || !decide(outcome))
            return outcome;
        outcome.wrote = true;
        writeAndVerify(session, file, outcome);
        outcome.written = outcome.differences;
    } catch (...) {
        outcome.ended = std::current_exception();
        if (outcome.wrote)
            sortBySent(session.written().mid(writtenBefore), outcome);
    }
    return outcome;
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
