#pragma once

#include <QString>
#include <QStringList>

namespace tarvex::cli {

// The stable names the system gives device besides its own, which survive replugging and
// renumbering (Linux: the links of /dev/serial/by-id and by-path); none where it has none.
QStringList stableLinksTo(const QString& device);

} // namespace tarvex::cli
