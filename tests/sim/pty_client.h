#pragma once

#include <QByteArray>
#include <QEventLoop>
#include <QFile>
#include <QSocketNotifier>
#include <QString>
#include <QTimer>

#include <cerrno>
#include <fcntl.h>
#include <memory>
#include <poll.h>
#include <unistd.h>
#include <utility>

// The far end of the simulator's line as a test drives it: the terminal side opened as it is
// (no modes changed, so the simulator's own raw mode is what counts), non-blocking, read as
// bytes arrive. Every wait blocks in the caller's event loop, where an in-process unit answers.
class PtyClient
{
public:
    static constexpr int kPatienceMs = 5000; // for what must arrive; sanitizers are slow

    explicit PtyClient(const QString& path)
        : fd_(::open(QFile::encodeName(path).constData(),
                     O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC))
    {
        if (fd_ < 0)
            return;
        notifier_ = std::make_unique<QSocketNotifier>(fd_, QSocketNotifier::Read);
        QObject::connect(notifier_.get(), &QSocketNotifier::activated, [this] { drain(); });
    }
    ~PtyClient() { close(); }
    PtyClient(const PtyClient&) = delete;
    PtyClient& operator=(const PtyClient&) = delete;

    bool isOpen() const { return fd_ >= 0; }
    int descriptor() const { return fd_; }
    bool hungUp() const { return hungUp_; } // the far end closed the line

    void close()
    {
        notifier_.reset();
        if (fd_ >= 0)
            ::close(fd_);
        fd_ = -1;
    }

    bool write(const QByteArray& bytes)
    {
        qsizetype done = 0;
        while (fd_ >= 0 && done < bytes.size()) {
            const ssize_t count = ::write(fd_, bytes.constData() + done, bytes.size() - done);
            if (count > 0)
                done += count;
            else if (count < 0 && errno == EAGAIN)
                waitUntil([] { return false; }, 5); // let the far end read
            else if (count < 0 && errno != EINTR)
                return false;
        }
        return done == bytes.size();
    }

    // Everything that arrives within ms.
    QByteArray readFor(int ms)
    {
        waitUntil([] { return false; }, ms);
        return take();
    }

    // What arrives until it ends with ending, or until the patience runs out.
    QByteArray readUntil(const QByteArray& ending, int timeoutMs = kPatienceMs)
    {
        waitUntil([&] { return received_.endsWith(ending); }, timeoutMs);
        return take();
    }

    // Writes command and reads until expected has arrived; compare the result with expected.
    QByteArray exchange(const QByteArray& command, const QByteArray& expected)
    {
        return write(command) ? readUntil(expected) : QByteArray("<write failed>");
    }

    bool waitForHangup(int timeoutMs = kPatienceMs)
    {
        return waitUntil([this] { return hungUp_; }, timeoutMs);
    }

private:
    template <typename Done> bool waitUntil(Done done, int timeoutMs)
    {
        drain();
        if (done())
            return true;
        QEventLoop loop;
        QTimer::singleShot(timeoutMs, &loop, &QEventLoop::quit);
        if (notifier_) {
            QObject::connect(notifier_.get(), &QSocketNotifier::activated, &loop, [&] {
                if (done())
                    loop.quit();
            });
        }
        loop.exec();
        return done();
    }

    void drain()
    {
        char buffer[512];
        while (fd_ >= 0) {
            const ssize_t count = ::read(fd_, buffer, sizeof buffer);
            if (count > 0) {
                received_.append(buffer, count);
                continue;
            }
            if (count < 0 && errno == EINTR)
                continue;
            if ((count == 0 || errno == EIO) && farEndClosed()) {
                hungUp_ = true;
                notifier_->setEnabled(false); // a closed line stays readable for ever
            }
            return;
        }
    }

    bool farEndClosed() const
    {
        pollfd entry{fd_, POLLIN, 0};
        return ::poll(&entry, 1, 0) == 1 && (entry.revents & (POLLHUP | POLLERR));
    }

    QByteArray take() { return std::exchange(received_, {}); }

    int fd_;
    std::unique_ptr<QSocketNotifier> notifier_;
    QByteArray received_;
    bool hungUp_ = false;
};
