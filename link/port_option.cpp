#include "link/port_option.h"

#include "link/port_map.h"

namespace tarvex::link {

QCommandLineOption portOption()
{
    return {QStringLiteral("port"),
            QStringLiteral("Port number N (%1 to %2) is DEVICE; repeatable. When given, only "
                           "these numbers exist.")
                .arg(kFirstPortNumber)
                .arg(kLastPortNumber),
            QStringLiteral("N=DEVICE")};
}

} // namespace tarvex::link
