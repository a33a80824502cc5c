#include "register/site_status.h"

#include "register/configuration_changes.h"
#include "register/register_error.h"
#include "register/site_template.h"

#include <QJsonArray>

namespace tarvex::fleet {
namespace {

// A template that does not render cannot be compared; apply and --check name its problems.
bool drifted(const RegisterFolder& folder, const Site& site, const std::optional<QByteArray>& file)
{
    if (site.templatePath.isEmpty() || !file)
        return false;
    try {
        const RenderedSite rendered = renderSite(site, folder.templateOf(site));
        return rendered.configuration && differsFrom(*file, *rendered.configuration);
    } catch (const RegisterError&) {
        return false;
    }
}

QJsonValue timeOrNull(const QDateTime& time)
{
    return time.isValid() ? QJsonValue(isoTime(time)) : QJsonValue();
}

QString timeOrNever(const QDateTime& time)
{
    return time.isValid() ? isoTime(time) : QStringLiteral("never");
}

} // namespace

QList<SiteStatus> statusOf(const RegisterFolder& folder, const QList<Site>& sites,
                           const QDateTime& now, std::chrono::hours stale)
{
    const RunState state = folder.state();
    QList<SiteStatus> out;
    for (const Site& site : sites) {
        const SiteState& known = state.value(site.name);
        const std::optional<QByteArray> file = folder.lastGood(site.name);
        out.append({site.name, site.device.text(), known.lastRead, known.lastChange, known.failures,
                    known.error,
                    flagsOf({known, file.has_value(), drifted(folder, site, file)}, now, stale)});
    }
    return out;
}

QJsonObject statusDocument(const QList<SiteStatus>& sites)
{
    QJsonArray list;
    for (const SiteStatus& site : sites)
        list.append(QJsonObject{
            {QStringLiteral("name"), site.name},
            {QStringLiteral("last_read"), timeOrNull(site.lastRead)},
            {QStringLiteral("last_change"), timeOrNull(site.lastChange)},
            {QStringLiteral("failures"), site.failures},
            {QStringLiteral("error"), site.error.isEmpty() ? QJsonValue() : QJsonValue(site.error)},
            {QStringLiteral("flags"), QJsonArray::fromStringList(site.flags)}});
    return {{QStringLiteral("sites"), list}};
}

QByteArray statusLines(const QList<SiteStatus>& sites)
{
    QByteArray out;
    for (const SiteStatus& site : sites) {
        QString line =
            QStringLiteral("%1  read %2  changed %3  %4")
                .arg(site.name, timeOrNever(site.lastRead), timeOrNever(site.lastChange),
                     site.flags.isEmpty() ? QStringLiteral("ok") : site.flags.join(u','));
        if (site.failures > 0)
            line += QStringLiteral("  %1 failure%2 in a row: %3")
                        .arg(site.failures)
                        .arg(site.failures == 1 ? QString() : QStringLiteral("s"), site.error);
        out += line.toUtf8() + '\n';
    }
    return out;
}

} // namespace tarvex::fleet
