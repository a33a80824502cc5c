#include "cli/apply.h"

#include "cli/input_file.h"
#include "cli/unit_session.h"

namespace tarvex::cli {
namespace {

// Writes the items, reads them back; the items that still differ.
QList<Item> writeAndVerify(UnitSession& session, const QList<Item>& items,
                           const ManagedConfiguration& file, UnitValues& unit)
{
    session.write(items, file, unit);
    session.read(items, unit);
    return itemsToWrite(differences(unit, file));
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
    result.plainOutput = changeLines(sent);
}

} // namespace

ManagedConfiguration loadConfigurationFile(const QString& path)
{
    const Loaded loaded = loadConfiguration(readInputFile(path));
    if (!loaded.configuration) {
        QStringList lines;
        for (const Problem& problem : loaded.problems)
            lines << problem.text();
        throw Failure(Exit::InvalidFile, QStringLiteral("invalid-file"),
                      QStringLiteral("%1 is not a valid configuration; nothing was sent:\n%2")
                          .arg(inputName(path), lines.join(u'\n')));
    }
    return *loaded.configuration;
}

QByteArray changeLines(const QList<Change>& changes)
{
    QByteArray lines;
    for (const Change& change : changes)
        lines += QStringLiteral("%1: %2 \u2192 %3\n")
                     .arg(change.path, valueText(change.before), valueText(change.after))
                     .toUtf8();
    return lines;
}

QList<Change> readAndCompare(UnitSession& session, const ManagedConfiguration& file,
                             UnitValues& unit)
{
    session.read(itemsManagedBy(file), unit);
    return differences(unit, file);
}

// The heart of apply and message set: compare, write only what differs, verify by reading
// back, one more try for what still differs.
void applyConfiguration(UnitSession& session, const ManagedConfiguration& file, bool check,
                        Result& result)
{
    UnitValues unit;
    result.changes = readAndCompare(session, file, unit);
    result.changed = !result.changes.isEmpty();
    result.plainOutput = changeLines(result.changes);
    if (check || result.changes.isEmpty()) {
        result.verified = result.changes.isEmpty();
        return;
    }
    QList<Item> differing;
    try {
        differing = writeAndVerify(session, itemsToWrite(result.changes), file, unit);
        if (!differing.isEmpty())
            differing = writeAndVerify(session, differing, file, unit);
    } catch (const Failure&) {
        keepWrittenChanges(session.written(), result);
        throw;
    }
    if (!differing.isEmpty()) {
        QStringList paths;
        for (const Change& change : differences(unit, file))
            paths
                << QStringLiteral("%1 (unit holds %2)").arg(change.path, valueText(change.before));
        throw Failure(Exit::NotVerified, QStringLiteral("not-verified"),
                      QStringLiteral("written twice, but the unit still differs: %1")
                          .arg(paths.join(QStringLiteral(", "))),
                      session.device());
    }
    result.verified = true;
}

} // namespace tarvex::cli
