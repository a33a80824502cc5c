#include "provisioning/atomic_file.h"

#include "provisioning/failure.h"

#include <QSaveFile>

namespace tarvex::provisioning {

void writeAtomically(const QString& path, const QByteArray& bytes)
{
    QSaveFile file(path);
    // Every step is checked: a full disk must never pass for a backup.
    const bool written =
        file.open(QIODevice::WriteOnly) && file.write(bytes) == bytes.size() && file.commit();
    if (!written)
        throw Failure(Failure::Kind::UnwritableFile,
                      QStringLiteral("cannot write %1: %2").arg(path, file.errorString()));
}

} // namespace tarvex::provisioning
