#pragma once

#include "register/register_folder.h"

#include <QDateTime>
#include <QJsonObject>
#include <QList>
#include <QStringList>

#include <chrono>

namespace tarvex::fleet {

// One site as status and the report show it.
struct SiteStatus
{
    QString name;
    QString device;
    QDateTime lastRead;
    QDateTime lastChange;
    int failures = 0;
    QString error;
    QStringList flags;
};

// Every listed site's status from the run state, its last good file and its template.
QList<SiteStatus> statusOf(const RegisterFolder& folder, const QList<Site>& sites,
                           const QDateTime& now, std::chrono::hours stale);

// {"sites": [{"name", "last_read", "last_change", "failures", "error", "flags"}]}
QJsonObject statusDocument(const QList<SiteStatus>& sites);
QByteArray statusLines(const QList<SiteStatus>& sites); // one line a site, for people

} // namespace tarvex::fleet
