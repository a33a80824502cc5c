#include "files/whole_write.h"

#include <QFileDevice>

namespace tarvex::files {

std::optional<QString> writeWhole(QFileDevice& file, const QByteArray& bytes)
{
    qint64 written = 0;
    while (written < bytes.size()) {
        const qint64 piece = file.write(bytes.constData() + written, bytes.size() - written);
        if (piece <= 0) // the system says why only when asked for the part it did not take
            return file.errorString();
        written += piece;
    }
    return std::nullopt;
}

} // namespace tarvex::files
