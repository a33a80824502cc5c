#pragma once

#include "register/commit_message.h"
#include "register/register_folder.h"

#include <QByteArray>
#include <QDateTime>
#include <QHash>
#include <QSet>

#include <optional>

namespace tarvex::fleet {

// What one run leaves in the register: each site's new file, one commit for all of them, and
// the run state. A site's earlier version is what the last commit holds whenever its file
// differs from it (left by a run that died before its commit, or edited by hand), so that the
// next commit takes such a file in and names its changes.
class RunRecord
{
public:
    RunRecord(const RegisterFolder& folder, QString action);

    // A complete read of site; onSite when it is a backup, so that a difference is somebody's
    // change on site rather than ours.
    void read(const QString& site, const QByteArray& file, bool onSite);
    void failed(const QString& site, const QString& error);

    // Writes the files, commits them once (when any changed), then the run state. The commit,
    // if one was made. Unwritable on a full disk: the files and history before stay.
    std::optional<QString> finish();

    const QList<ChangedSite>& changed() const { return changed_; }
    const QList<FailedSite>& failures() const { return failed_; }

private:
    std::optional<QByteArray> earlier(const QString& site) const;

    const RegisterFolder& folder_;
    QString action_;
    QSet<QString> uncommitted_; // site files that differ from the last commit
    QDateTime now_;
    RunState state_;
    QHash<QString, QByteArray> files_;
    QStringList paths_;
    QList<ChangedSite> changed_;
    QList<FailedSite> failed_;
};

} // namespace tarvex::fleet
