#pragma once

#include "files/bounded_read.h"
#include "provisioning/configuration_file.h"
#include "provisioning/differences.h"
#include "provisioning/failure.h"

namespace tarvex::provisioning {

class UnitSession;

// Far above any real file (a full configuration is about 1.5 KB, a message at most 80
// characters), and far below what would hurt the machine.
inline constexpr qint64 kLargestInputFile = 1024 * 1024;

// Loads and validates a whole configuration file: UnreadableFile when it cannot be read,
// InvalidFile with every broken rule when it is not valid or larger than kLargestInputFile.
ManagedConfiguration loadConfigurationFile(const QString& path);

// The bytes of a file read with the bound kLargestInputFile, or UnreadableFile or InvalidFile
// naming the file as name.
QByteArray fileBytes(const files::BoundedRead& read, const QString& name);

// A whole configuration file's bytes validated: InvalidFile with every broken rule.
ManagedConfiguration configurationFromBytes(const QByteArray& bytes, const QString& name);

// The text of an invalid file's failure: every problem, "path: rule", one a line.
QString problemLines(const QList<Problem>& problems);

// Reads what the file manages into unit and compares it.
QList<Change> readAndCompare(UnitSession& session, const ManagedConfiguration& file,
                             UnitValues& unit);

// Writes the items that carry changes in the order of itemsToWrite, reads them back, and
// writes and reads once more what still differs. unit ends as what the unit holds; the
// result is what still differs after that, empty when every change arrived.
QList<Change> writeAndVerify(UnitSession& session, const ManagedConfiguration& file,
                             const QList<Change>& changes, UnitValues& unit);

// NotVerified, naming each change that did not arrive and what the unit holds instead.
Failure notVerified(const QList<Change>& remaining, const QString& device);

} // namespace tarvex::provisioning
