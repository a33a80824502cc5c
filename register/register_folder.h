#pragma once

#include "register/git_repository.h"
#include "register/site_list.h"
#include "register/site_state.h"

#include <QByteArray>
#include <QLockFile>
#include <QString>

#include <memory>
#include <optional>

namespace tarvex::fleet {

// The register on disk: fleet.json, units/NAME.json (each site's last good file), templates,
// and under .tarvex/ (ignored by git) the run state and the lock. Everything the tool writes
// goes through the atomic writer and is readable by its owner only, for the register holds
// people's phone numbers. Failures are RegisterErrors.
class RegisterFolder
{
public:
    explicit RegisterFolder(QString path);

    // Makes path a register (or completes one): the folder for its owner only, a git repository,
    // an empty list, the ignore rule for the run state, and a first commit. False when path was
    // already a register and nothing was done.
    static bool initialize(const QString& path);

    const QString& path() const { return path_; }
    GitRepository git() const { return GitRepository(path_); }

    // InvalidInput when the folder has no fleet.json or is no git repository.
    void checkIsRegister() const;
    // InvalidInput on a detached HEAD, where a commit would belong to no branch.
    void checkCommittable() const;

    // The list, validated: InvalidInput naming every site and field at fault.
    QList<Site> sites() const;
    // names of sites in the list, in the list's order; all of them for no names.
    static QList<Site> selected(const QList<Site>& sites, const QStringList& names);

    QByteArray templateOf(const Site& site) const; // InvalidInput naming the site when missing

    static QString siteFile(const QString& name); // "units/NAME.json"
    std::optional<QByteArray> lastGood(const QString& name) const;
    void writeSiteFile(const QString& name, const QByteArray& bytes) const;

    RunState state() const;
    void saveState(const RunState& state) const;

    // A file the tool makes (a report), written as the register's own files are.
    static void writePrivateFile(const QString& path, const QByteArray& bytes);

private:
    QString file(const QString& relative) const;

    QString path_;
};

// Two runs on one register never interleave: the second ends at once with Busy. A lock left by
// a killed run is taken over, so the next run starts cleanly.
class RegisterLock
{
public:
    explicit RegisterLock(const RegisterFolder& folder);

private:
    std::unique_ptr<QLockFile> lock_;
};

} // namespace tarvex::fleet
