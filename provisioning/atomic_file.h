#pragma once

#include <QByteArray>
#include <QString>

namespace tarvex::provisioning {

// Puts bytes in place of the file at path in one step: until every byte is written the old
// file stays as it was, and no half-written file is ever left. UnwritableFile, naming the
// file and the system's reason, when that fails.
void writeAtomically(const QString& path, const QByteArray& bytes);

} // namespace tarvex::provisioning
