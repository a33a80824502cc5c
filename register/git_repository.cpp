#include "register/git_repository.h"

#include "register/register_error.h"

#include <QProcess>

namespace tarvex::fleet {
namespace {

const QString kGit = QStringLiteral("git");

} // namespace

GitRepository::GitRepository(QString folder) : folder_(std::move(folder)) {}

GitRepository::Run GitRepository::run(const QStringList& arguments, const QByteArray& input) const
{
    QProcess git;
    git.setWorkingDirectory(folder_);
    git.start(kGit,
              QStringList{QStringLiteral("-c"), QStringLiteral("core.quotepath=off")} + arguments);
    if (!git.waitForStarted(-1))
        throw RegisterError(RegisterError::Kind::GitMissing,
                            QStringLiteral("cannot run git (%1): the register keeps its history "
                                           "with git; install it (Debian: apt-get install git)")
                                .arg(git.errorString()));
    if (!input.isEmpty())
        git.write(input);
    git.closeWriteChannel();
    git.waitForFinished(-1);
    return {git.exitStatus() == QProcess::NormalExit ? git.exitCode() : -1,
            git.readAllStandardOutput(), git.readAllStandardError()};
}

QByteArray GitRepository::check(const QStringList& arguments, const QByteArray& input) const
{
    const Run done = run(arguments, input);
    if (done.exitCode != 0)
        throw RegisterError(
            RegisterError::Kind::GitFailed,
            QStringLiteral("git %1 failed in %2: %3")
                .arg(arguments.first(), folder_, QString::fromUtf8(done.err.trimmed())));
    return done.out;
}

void GitRepository::create(const QString& folder)
{
    GitRepository(folder).check({QStringLiteral("init"), QStringLiteral("-q")});
}

bool GitRepository::isRepository() const
{
    return run({QStringLiteral("rev-parse"), QStringLiteral("--git-dir")}).exitCode == 0;
}

bool GitRepository::onBranch() const
{
    return run({QStringLiteral("symbolic-ref"), QStringLiteral("-q"), QStringLiteral("HEAD")})
               .exitCode == 0;
}

std::optional<QString> GitRepository::commitOnly(const QStringList& paths,
                                                 const QString& message) const
{
    if (paths.isEmpty())
        return std::nullopt;
    const QStringList pathspec = QStringList{QStringLiteral("--")} + paths;
    check(QStringList{QStringLiteral("add")} + pathspec);
    const Run staged = run(
        QStringList{QStringLiteral("diff"), QStringLiteral("--cached"), QStringLiteral("--quiet")} +
        pathspec);
    if (staged.exitCode == 0)
        return std::nullopt;
    check(QStringList{QStringLiteral("commit"), QStringLiteral("-q"), QStringLiteral("-F"),
                      QStringLiteral("-")} +
              pathspec,
          message.toUtf8());
    return commitFor(QStringLiteral("HEAD"));
}

QStringList GitRepository::uncommittedPaths(const QString& under) const
{
    // Relative to the register, whatever folder of the repository it is.
    const QByteArray out =
        check({QStringLiteral("--no-optional-locks"), QStringLiteral("status"),
               QStringLiteral("--porcelain"), QStringLiteral("-z"),
               QStringLiteral("--untracked-files=all"), QStringLiteral("--"), under});
    const QByteArray prefix =
        check({QStringLiteral("rev-parse"), QStringLiteral("--show-prefix")}).trimmed();
    QStringList paths;
    for (const QByteArray& entry : out.split('\0'))
        if (entry.size() > 3)
            paths << QString::fromUtf8(entry.mid(3).mid(prefix.size()));
    return paths;
}

std::optional<QString> GitRepository::commitFor(const QString& revision) const
{
    const Run done = run({QStringLiteral("rev-parse"), QStringLiteral("--verify"),
                          QStringLiteral("-q"), revision + QStringLiteral("^{commit}")});
    if (done.exitCode != 0)
        return std::nullopt;
    return QString::fromUtf8(done.out.trimmed());
}

std::optional<QString> GitRepository::lastCommitBefore(const QString& time,
                                                       const QString& path) const
{
    const QByteArray out =
        check({QStringLiteral("rev-list"), QStringLiteral("-1"), QStringLiteral("--before=") + time,
               QStringLiteral("HEAD"), QStringLiteral("--"), path});
    if (out.trimmed().isEmpty())
        return std::nullopt;
    return QString::fromUtf8(out.trimmed());
}

std::optional<QByteArray> GitRepository::fileAt(const QString& revision, const QString& path) const
{
    const Run done = run({QStringLiteral("show"), revision + QStringLiteral(":./") + path});
    if (done.exitCode != 0)
        return std::nullopt;
    return done.out;
}

QList<GitRepository::Commit> GitRepository::commitsTouching(const QString& path) const
{
    const QByteArray out =
        check({QStringLiteral("log"), QStringLiteral("--format=%H%x1f%aI%x1f%an <%ae>%x1f%s"),
               QStringLiteral("--"), path});
    QList<Commit> commits;
    for (const QByteArray& line : out.split('\n')) {
        const QList<QByteArray> fields = line.split('\x1f');
        if (fields.size() == 4)
            commits.append({QString::fromUtf8(fields[0]), QString::fromUtf8(fields[1]),
                            QString::fromUtf8(fields[2]), QString::fromUtf8(fields[3])});
    }
    return commits;
}

} // namespace tarvex::fleet
