#include "register/run_record.h"

#include "register/configuration_changes.h"

namespace tarvex::fleet {

RunRecord::RunRecord(const RegisterFolder& folder, QString action)
    : folder_(folder), action_(std::move(action)), now_(QDateTime::currentDateTimeUtc()),
      state_(folder.state())
{
    for (const QString& path : folder.git().uncommittedPaths(QStringLiteral("units")))
        uncommitted_.insert(path);
}

std::optional<QByteArray> RunRecord::earlier(const QString& site) const
{
    const QString path = RegisterFolder::siteFile(site);
    if (uncommitted_.contains(path))
        return folder_.git().fileAt(QStringLiteral("HEAD"), path);
    return folder_.lastGood(site);
}

void RunRecord::read(const QString& site, const QByteArray& file, bool onSite)
{
    const std::optional<QByteArray> before = earlier(site);
    const bool differs = !before || *before != file;
    noteRead(state_[site], now_, onSite && before && differs);
    if (!differs)
        return;
    if (!onSite)
        state_[site].lastChange = now_;
    files_.insert(site, file);
    paths_ << RegisterFolder::siteFile(site);
    changed_.append({site, changesBetween(before.value_or(QByteArray()), file), !before});
}

void RunRecord::failed(const QString& site, const QString& error)
{
    noteFailure(state_[site], now_, error);
    failed_.append({site, error});
}

std::optional<QString> RunRecord::finish()
{
    for (auto it = files_.constBegin(); it != files_.constEnd(); ++it)
        folder_.writeSiteFile(it.key(), it.value());
    std::optional<QString> commit;
    if (!paths_.isEmpty())
        commit = folder_.git().commitOnly(paths_, commitMessage(action_, changed_, failed_));
    folder_.saveState(state_);
    return commit;
}

} // namespace tarvex::fleet
