#pragma once

#include <QByteArray>
#include <QString>

#include <memory>

class QFileDevice;
class QSaveFile;

namespace tarvex::files {

// A whole file written so that a failure never costs the file that was there: the bytes go to
// a temporary file beside it, every write, flush and sync is checked, and only then does the
// temporary file take the name. An existing target that is not a regular file (a terminal, a
// character device, a FIFO) is written directly instead: replacing it would put a regular
// file where the device was.
class AtomicFile
{
public:
    // Text: each "\n" ends a line as the system's text files do (CR LF on Windows).
    enum class Content { Binary, Text };

    explicit AtomicFile(const QString& path, Content content = Content::Binary);
    ~AtomicFile(); // discards what was not committed: the temporary file is removed
    AtomicFile(const AtomicFile&) = delete;
    AtomicFile& operator=(const AtomicFile&) = delete;

    // Opened before the work that makes the bytes, so that a folder that is not there is
    // found first. May block (a FIFO without a reader). False with errorString().
    bool open();
    // Writes bytes and puts them in place. False with errorString(): the old file untouched.
    bool commit(const QByteArray& bytes);

    const QString& errorString() const { return error_; }

private:
    bool fail(const QString& reason);

    std::unique_ptr<QFileDevice> device_;
    QSaveFile* save_ = nullptr; // device_, when the target is replaced
    Content content_;
    QString error_;
};

} // namespace tarvex::files
