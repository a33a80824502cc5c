#pragma once

#include "provisioning/configuration_file.h"
#include "provisioning/unit_values.h"

#include <functional>
#include <memory>

namespace tarvex::files {
class AtomicFile;
}

namespace tarvex::provisioning {

class UnitSession;

// Everything a unit holds, read, and the configuration file that describes it.
struct Backup
{
    UnitValues unit;
    ManagedConfiguration configuration;
    QList<Problem> problems; // the rules the unit's values break: kept as read, but named
    QByteArray text;         // the file's text
};

// Reads the whole unit: 21 exchanges, 13 without the messages.
Backup readBackup(UnitSession& session, const QString& identity, bool withMessages);

// Where a backup goes, in the one order both faces keep: opened before the unit is read, so
// that an unwritable folder fails at once and costs no exchange; committed only once
// everything was read, so that a stop or a lost line leaves no file. Until then the old file
// stays as it was.
class BackupFile
{
public:
    explicit BackupFile(const QString& path);
    ~BackupFile();

    // The open, as a step that may block (a FIFO without a reader) and so may run on another
    // thread and outlive this object: it owns what it touches.
    std::function<bool()> opening() const;
    // After the open: UnwritableFile, naming the file and the system's reason, when it failed.
    void checkOpened(bool opened) const;
    void commit(const QByteArray& text) const; // UnwritableFile when that fails

private:
    [[noreturn]] void fail() const;

    QString path_;
    std::shared_ptr<files::AtomicFile> file_;
};

} // namespace tarvex::provisioning
