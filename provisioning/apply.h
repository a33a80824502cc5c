#pragma once

#include "provisioning/configuration_file.h"
#include "provisioning/differences.h"
#include "provisioning/failure.h"

namespace tarvex::provisioning {

class UnitSession;

// Loads and validates a whole configuration file: UnreadableFile when it cannot be read,
// InvalidFile with every broken rule when it is not valid.
ManagedConfiguration loadConfigurationFile(const QString& path);

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
