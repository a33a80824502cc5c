#include "register/commit_message.h"

#include <QStringList>

namespace tarvex::fleet {

QString commitMessage(const QString& action, const QList<ChangedSite>& changed,
                      const QList<FailedSite>& failed)
{
    QStringList subject{QStringLiteral("%1: %2 site%3 changed")
                            .arg(action)
                            .arg(changed.size())
                            .arg(changed.size() == 1 ? QString() : QStringLiteral("s"))};
    if (!failed.isEmpty())
        subject << QStringLiteral("%1 failed").arg(failed.size());
    QStringList lines{subject.join(QStringLiteral(", "))};
    if (!changed.isEmpty())
        lines << QString() << QStringLiteral("Changed:");
    for (const ChangedSite& site : changed) {
        lines << QStringLiteral("  %1%2").arg(
            site.name, site.first ? QStringLiteral(" (first read)") : QString());
        if (site.first)
            continue;
        for (const provisioning::Change& change : site.changes)
            lines << QStringLiteral("    %1: %2 -> %3")
                         .arg(change.path, provisioning::valueText(change.before),
                              provisioning::valueText(change.after));
    }
    if (!failed.isEmpty())
        lines << QString() << QStringLiteral("Failed:");
    for (const FailedSite& site : failed)
        lines << QStringLiteral("  %1: %2").arg(site.name, site.error);
    return lines.join(u'\n') + u'\n';
}

} // namespace tarvex::fleet
