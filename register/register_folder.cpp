#include "register/register_folder.h"

#include "files/atomic_file.h"
#include "files/bounded_read.h"
#include "register/register_error.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <algorithm>

namespace tarvex::fleet {
namespace {

const QString kList = QStringLiteral("fleet.json");
const QString kRunFolder = QStringLiteral(".tarvex");
const QString kIgnore = QStringLiteral(".gitignore");
constexpr qint64 kLargestListFile = 16 * 1024 * 1024;

constexpr QFile::Permissions kOwnerOnlyFolder =
    QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner;
constexpr QFile::Permissions kOwnerOnlyFile = QFile::ReadOwner | QFile::WriteOwner;

[[noreturn]] void unwritable(const QString& path, const QString& reason)
{
    throw RegisterError(RegisterError::Kind::Unwritable,
                        QStringLiteral("cannot write %1: %2").arg(path, reason));
}

void makeFolder(const QString& path)
{
    if (!QDir().mkpath(path))
        unwritable(path, QStringLiteral("the folder cannot be made"));
    // Where the system has no such permissions (Windows), the call changes what it can.
    QFile::setPermissions(path, kOwnerOnlyFolder);
}

std::optional<QByteArray> readIfThere(const QString& path)
{
    if (!QFileInfo::exists(path))
        return std::nullopt;
    const files::BoundedRead read = files::readBounded(path, kLargestListFile);
    if (!read.ok())
        throw RegisterError(
            RegisterError::Kind::Unreadable,
            QStringLiteral("cannot read %1: %2")
                .arg(path, read.reason.isEmpty() ? QStringLiteral("too large") : read.reason));
    return read.bytes;
}

} // namespace

RegisterFolder::RegisterFolder(QString path) : path_(QDir(path).absolutePath()) {}

QString RegisterFolder::file(const QString& relative) const
{
    return QDir(path_).filePath(relative);
}

bool RegisterFolder::initialize(const QString& path)
{
    const RegisterFolder folder(path);
    const bool listThere = QFileInfo::exists(folder.file(kList));
    makeFolder(folder.path());
    makeFolder(folder.file(QStringLiteral("units")));
    const GitRepository git = folder.git();
    const bool repository =
        QFileInfo::exists(folder.file(QStringLiteral(".git"))) && git.isRepository();
    if (listThere && repository)
        return false;
    if (!repository)
        GitRepository::create(folder.path());
    if (!listThere)
        writePrivateFile(folder.file(kList), emptySiteList());
    if (!QFileInfo::exists(folder.file(kIgnore)))
        writePrivateFile(folder.file(kIgnore), QByteArrayLiteral(".tarvex/\n"));
    git.commitOnly({kList, kIgnore}, QStringLiteral("Register of sites created\n"));
    return true;
}

void RegisterFolder::checkIsRegister() const
{
    if (!QFileInfo::exists(file(kList)))
        invalid(QStringLiteral("%1 is no register of sites: it has no fleet.json "
                               "(tarvex-cli fleet init makes one)")
                    .arg(path_));
    if (!git().isRepository())
        invalid(QStringLiteral("%1 is no git repository, so the register has no history: "
                               "tarvex-cli fleet init %1 makes it one, keeping fleet.json")
                    .arg(path_));
}

void RegisterFolder::checkCommittable() const
{
    if (!git().onBranch())
        invalid(QStringLiteral("the register %1 is on a detached HEAD, where its history would "
                               "belong to no branch: check out a branch first")
                    .arg(path_));
}

QList<Site> RegisterFolder::sites() const
{
    const LoadedList loaded = parseSiteList(readIfThere(file(kList)).value_or(QByteArray()));
    if (loaded.problems.isEmpty())
        return loaded.sites;
    QStringList lines;
    for (const ListProblem& problem : loaded.problems)
        lines << problem.text();
    invalid(QStringLiteral("%1 is not valid; nothing was sent:\n%2")
                .arg(file(kList), lines.join(u'\n')));
}

QList<Site> RegisterFolder::selected(const QList<Site>& sites, const QStringList& names)
{
    if (names.isEmpty())
        return sites;
    QList<Site> chosen;
    for (const Site& site : sites)
        if (names.contains(site.name))
            chosen.append(site);
    for (const QString& name : names)
        if (std::none_of(sites.begin(), sites.end(),
                         [&](const Site& site) { return site.name == name; }))
            invalid(
                QStringLiteral("no site named \"%1\" in the register; nothing was sent").arg(name));
    return chosen;
}

QByteArray RegisterFolder::templateOf(const Site& site) const
{
    const auto bytes = readIfThere(file(site.templatePath));
    if (!bytes)
        invalid(QStringLiteral("site %1, template: %2 is not in the register; nothing was sent")
                    .arg(site.name, site.templatePath));
    return *bytes;
}

QString RegisterFolder::siteFile(const QString& name)
{
    return QStringLiteral("units/%1.json").arg(name);
}

std::optional<QByteArray> RegisterFolder::lastGood(const QString& name) const
{
    return readIfThere(file(siteFile(name)));
}

void RegisterFolder::writeSiteFile(const QString& name, const QByteArray& bytes) const
{
    makeFolder(file(QStringLiteral("units")));
    writePrivateFile(file(siteFile(name)), bytes);
}

RunState RegisterFolder::state() const
{
    return parseRunState(
        readIfThere(file(kRunFolder + QStringLiteral("/state.json"))).value_or(QByteArray()));
}

void RegisterFolder::saveState(const RunState& state) const
{
    makeFolder(file(kRunFolder));
    writePrivateFile(file(kRunFolder + QStringLiteral("/state.json")), runStateText(state));
}

void RegisterFolder::writePrivateFile(const QString& path, const QByteArray& bytes)
{
    files::AtomicFile out(path);
    if (!out.open() || !out.commit(bytes))
        unwritable(path, out.errorString());
    QFile::setPermissions(path, kOwnerOnlyFile);
}

RegisterLock::RegisterLock(const RegisterFolder& folder)
{
    const QString runFolder = QDir(folder.path()).filePath(kRunFolder);
    makeFolder(runFolder);
    lock_ = std::make_unique<QLockFile>(QDir(runFolder).filePath(QStringLiteral("lock")));
    if (lock_->tryLock(0))
        return;
    qint64 pid = 0;
    QString host;
    QString application;
    lock_->getLockInfo(&pid, &host, &application);
    throw RegisterError(RegisterError::Kind::Busy,
                        QStringLiteral("another run holds the register %1 (process %2 on %3); "
                                       "this one did nothing")
                            .arg(folder.path())
                            .arg(pid)
                            .arg(host));
}

} // namespace tarvex::fleet
