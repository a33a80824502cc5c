#pragma once

#include "register/site_status.h"

#include <QByteArray>
#include <QDateTime>

namespace tarvex::fleet {

// The register as one static page: a row a site with its flags, last read and last change.
// No script, no external resource; every value is escaped as plain text, for a site name, an
// error or a device may hold anything. Pure.
QByteArray htmlReport(const QList<SiteStatus>& sites, const QDateTime& made);

} // namespace tarvex::fleet
