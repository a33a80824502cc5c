#pragma once

#include "provisioning/configuration_file.h"
#include "register/site_list.h"

#include <QByteArray>
#include <QStringList>

#include <optional>

// A site's configuration file made from a template: every ${KEY} in the template's texts
// filled from the site's values, then judged by the configuration file's own rules. Pure.
namespace tarvex::fleet {

struct RenderedSite
{
    std::optional<provisioning::ManagedConfiguration> configuration; // only without problems
    QStringList problems; // "site S, ITEM: ..." naming the placeholder where one is involved
};

RenderedSite renderSite(const Site& site, const QByteArray& templateBytes);

} // namespace tarvex::fleet
