#include "files/bounded_read.h"

#include <QFile>

namespace tarvex::files {
namespace {

constexpr int kStandardInputDescriptor = 0; // the same in every C runtime

bool openForReading(QFile& file, const QString& path)
{
    if (path == kStandardInput)
        return file.open(kStandardInputDescriptor, QIODevice::ReadOnly);
    file.setFileName(path);
    return file.open(QIODevice::ReadOnly);
}

} // namespace

BoundedRead readBounded(const QString& path, qint64 bound)
{
    QFile file;
    if (!openForReading(file, path))
        return {BoundedRead::Outcome::Unreadable, {}, file.errorString()};
    QByteArray bytes;
    // A pipe or a device hands over its bytes in pieces, and a size it does not know.
    while (bytes.size() <= bound) {
        const QByteArray piece = file.read(bound + 1 - bytes.size());
        if (piece.isEmpty()) {
            if (file.error() != QFileDevice::NoError)
                return {BoundedRead::Outcome::Unreadable, {}, file.errorString()};
            return {BoundedRead::Outcome::Read, bytes, {}};
        }
        bytes += piece;
    }
    return {BoundedRead::Outcome::TooLarge, {}, {}};
}

} // namespace tarvex::files
