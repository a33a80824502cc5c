#pragma once

#include "provisioning/differences.h"

#include <QList>
#include <QString>

// The message of a run's one commit: a subject that counts, then the sites whose configuration
// changed with their items, then the sites that failed with why. Pure.
namespace tarvex::fleet {

struct ChangedSite
{
    QString name;
    QList<provisioning::Change> changes;
    bool first = false; // the site's first good read: its file is new
};

struct FailedSite
{
    QString name;
    QString error;
};

// action: "backup", "apply", "restore pump-12 to 3f2a1c0".
QString commitMessage(const QString& action, const QList<ChangedSite>& changed,
                      const QList<FailedSite>& failed);

} // namespace tarvex::fleet
