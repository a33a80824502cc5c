#pragma once

#include <QByteArray>
#include <QString>
#include <QStringList>

#include <optional>

namespace tarvex::fleet {

// The register's history, kept by the git program (never a library of our own), so that the
// user's configuration applies: author, signing, hooks, remotes. Each call runs git in the
// register's folder and blocks until it ends. Throws RegisterError GitMissing when there is no
// git to run, GitFailed with git's own words when it refuses.
class GitRepository
{
public:
    explicit GitRepository(QString folder);

    static void create(const QString& folder); // git init

    bool isRepository() const;
    bool onBranch() const; // false on a detached HEAD: a commit there would be lost

    // Stages exactly paths (relative to the folder) and commits them alone, leaving anything
    // else in the work tree as it is. The new commit, or nothing when they did not change.
    std::optional<QString> commitOnly(const QStringList& paths, const QString& message) const;

    // The files under folder (relative to the register) that differ from the last commit.
    QStringList uncommittedPaths(const QString& under) const;

    std::optional<QString> commitFor(const QString& revision) const;
    // The last commit before time (YYYY-MM-DD[THH:MM], local time) that touched path.
    std::optional<QString> lastCommitBefore(const QString& time, const QString& path) const;
    // The file at path (relative to the folder) as revision holds it; nothing when it has none.
    std::optional<QByteArray> fileAt(const QString& revision, const QString& path) const;

    struct Commit
    {
        QString hash;
        QString date; // ISO 8601
        QString author;
        QString subject;
    };
    QList<Commit> commitsTouching(const QString& path) const; // newest first

private:
    struct Run
    {
        int exitCode = -1;
        QByteArray out;
        QByteArray err;
    };
    Run run(const QStringList& arguments, const QByteArray& input = {}) const;
    QByteArray check(const QStringList& arguments, const QByteArray& input = {}) const;

    QString folder_;
};

} // namespace tarvex::fleet
