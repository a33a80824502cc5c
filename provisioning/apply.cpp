#include "provisioning/apply.h"

#include "provisioning/unit_session.h"

namespace tarvex::provisioning {
namespace {

// Writes the items, reads them back; the items that still differ.
QList<Item> writeAndReadBack(UnitSession& session, const QList<Item>& items,
                             const ManagedConfiguration& file, UnitValues& unit)
{
    session.write(items, file, unit);
    session.read(items, unit);
    return itemsToWrite(differences(unit, file));
}

} // namespace

ManagedConfiguration loadConfigurationFile(const QString& path)
{
    return configurationFromBytes(fileBytes(files::readBounded(path, kLargestInputFile), path),
                                  path);
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

ManagedConfiguration configurationFromBytes(const QByteArray& bytes, const QString& name)
{
    const Loaded loaded = loadConfiguration(bytes);
    if (!loaded.configuration)
        throw Failure(Failure::Kind::InvalidFile,
                      QStringLiteral("%1 is not a valid configuration; nothing was sent:\n%2")
                          .arg(name, problemLines(loaded.problems)));
    return *loaded.configuration;
}

QString problemLines(const QList<Problem>& problems)
{
    QStringList lines;
    for (const Problem& problem : problems)
        lines << problem.text();
    return lines.join(u'\n');
}

QList<Change> readAndCompare(UnitSession& session, const ManagedConfiguration& file,
                             UnitValues& unit)
{
    session.read(itemsManagedBy(file), unit);
    return differences(unit, file);
}

QList<Change> writeAndVerify(UnitSession& session, const ManagedConfiguration& file,
                             const QList<Change>& changes, UnitValues& unit)
{
    QList<Item> differing = writeAndReadBack(session, itemsToWrite(changes), file, unit);
    if (!differing.isEmpty())
        differing = writeAndReadBack(session, differing, file, unit);
    return differing.isEmpty() ? QList<Change>() : differences(unit, file);
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
