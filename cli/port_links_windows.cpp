#include "cli/port_links.h"

namespace tarvex::cli {

// A COM port's name is its stable name: Windows keeps a USB adapter's number across replugging,
// and what else is known of it (description, USB identifiers, serial number) the listing takes
// from the port's information.
QStringList stableLinksTo(const QString&)
{
    return {};
}

} // namespace tarvex::cli
