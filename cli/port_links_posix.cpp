#include "cli/port_links.h"

#include <QDir>
#include <QFileInfo>

namespace tarvex::cli {

QStringList stableLinksTo(const QString& device)
{
    const QString target = QFileInfo(device).canonicalFilePath();
    QStringList links;
    for (const QString& folder :
         {QStringLiteral("/dev/serial/by-id"), QStringLiteral("/dev/serial/by-path")}) {
        const QDir dir(folder);
        for (const QFileInfo& entry : dir.entryInfoList(QDir::System | QDir::Files)) {
            if (!target.isEmpty() && entry.canonicalFilePath() == target)
                links << entry.absoluteFilePath();
        }
    }
    return links;
}

} // namespace tarvex::cli
