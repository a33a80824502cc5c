#include "provisioning/backup.h"

#include "files/atomic_file.h"
#include "provisioning/differences.h"
#include "provisioning/failure.h"
#include "provisioning/unit_session.h"

namespace tarvex::provisioning {

Backup readBackup(UnitSession& session, const QString& identity, bool withMessages)
{
    Backup backup;
    session.read(allItems(withMessages), backup.unit);
    backup.configuration = configurationOf(backup.unit, identity);
    backup.problems = problemsOf(backup.configuration);
    backup.text = fileText(backup.configuration);
    return backup;
}

BackupFile::BackupFile(const QString& path)
    : path_(path), file_(std::make_shared<files::AtomicFile>(path))
{}

BackupFile::~BackupFile() = default;

std::function<bool()> BackupFile::opening() const
{
    return [file = file_] { return file->open(); };
}

void BackupFile::checkOpened(bool opened) const
{
    if (!opened)
        fail();
}

void BackupFile::commit(const QByteArray& text) const
{
    // Every step is checked: a full disk must never pass for a backup.
    if (!file_->commit(text))
        fail();
}

void BackupFile::fail() const
{
    throw Failure(Failure::Kind::UnwritableFile,
                  QStringLiteral("cannot write %1: %2").arg(path_, file_->errorString()));
}

} // namespace tarvex::provisioning
