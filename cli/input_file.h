#pragma once

#include "provisioning/configuration_file.h"

#include <QByteArray>
#include <QString>

namespace tarvex::cli {

// The whole of a configuration or message file ("-": standard input), read so that Ctrl-C
// ends a wait for a FIFO's writer. Exit 66 when it cannot be read, 65 when it is larger than
// the engine's bound (after reading at most one byte more).
QByteArray readInputFile(const QString& path);

// A configuration file read as above, and validated: exit 66 when it cannot be read, 65 with
// every broken rule.
provisioning::ManagedConfiguration readConfigurationFile(const QString& path);

// The file as messages name it: "standard input" for "-".
QString inputName(const QString& path);

} // namespace tarvex::cli
