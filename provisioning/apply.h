#pragma once

#include "provisioning/configuration_file.h"
#include "provisioning/differences.h"
#include "cli/result.h"

namespace tarvex::cli {

class UnitSession;

// Loads and validates a whole configuration file: exit 66 when it cannot be read, 65 with
// every broken rule when it is not valid.
ManagedConfiguration loadConfigurationFile(const QString& path);

// Reads what the file manages and compares it.
QList<Change> readAndCompare(UnitSession& session, const ManagedConfiguration& file,
                             UnitValues& unit);

// Compares, writes only what differs, verifies by reading back, and writes once more what
// still differs; exit 3 when something differs after that. With check, writes nothing.
void applyConfiguration(UnitSession& session, const ManagedConfiguration& file, bool check,
                        Result& result);

// "path: unit → file" lines.
QByteArray changeLines(const QList<Change>& changes);

} // namespace tarvex::cli
