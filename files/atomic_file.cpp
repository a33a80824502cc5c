#include "files/atomic_file.h"

#include "files/file_sync.h"
#include "files/whole_write.h"

#include <QFileInfo>
#include <QSaveFile>

namespace tarvex::files {

AtomicFile::AtomicFile(const QString& path, Content content) : content_(content)
{
    const QFileInfo target(path);
    if (target.exists() && !target.isFile() && !target.isDir()) {
        device_ = std::make_unique<QFile>(path);
        return;
    }
    auto save = std::make_unique<QSaveFile>(path);
    save_ = save.get();
    device_ = std::move(save);
}

AtomicFile::~AtomicFile() = default;

bool AtomicFile::open()
{
    QIODevice::OpenMode mode = QIODevice::WriteOnly | QIODevice::Unbuffered;
    if (content_ == Content::Text)
        mode |= QIODevice::Text;
    if (!device_->open(mode))
        return fail(device_->errorString());
    return true;
}

bool AtomicFile::commit(const QByteArray& bytes)
{
    if (!device_ || !device_->isOpen())
        return fail(error_.isEmpty() ? QStringLiteral("the file is not open") : error_);
    // Each step is checked: a full disk shows up at the write, or only at the sync.
    if (const auto reason = writeWhole(*device_, bytes))
        return fail(*reason);
    if (const auto reason = syncToDisk(*device_))
        return fail(*reason);
    if (!save_) {
        device_->close();
        return true;
    }
    if (!save_->commit())
        return fail(save_->errorString());
    return true;
}

bool AtomicFile::fail(const QString& reason)
{
    error_ = reason;
    save_ = nullptr;
    device_.reset(); // a QSaveFile that was not committed removes its temporary file
    return false;
}

} // namespace tarvex::files
