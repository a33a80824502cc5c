#include "provisioning/atomic_file.h"

#include "provisioning/failure.h"

#include "files/atomic_file.h"

namespace tarvex::provisioning {

void writeAtomically(const QString& path, const QByteArray& bytes)
{
    // Every step is checked: a full disk must never pass for a backup.
    files::AtomicFile file(path);
    if (!file.open() || !file.commit(bytes))
        throw Failure(Failure::Kind::UnwritableFile,
                      QStringLiteral("cannot write %1: %2").arg(path, file.errorString()));
}

} // namespace tarvex::provisioning
