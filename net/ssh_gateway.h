#pragma once

#include "net/line_address.h"
#include "net/ssh_failure.h"

#include <QFileSystemWatcher>
#include <QObject>
#include <QProcess>
#include <QTimer>

#include <atomic>
#include <memory>
#include <mutex>

class QTemporaryDir;

namespace tarvex::link {

// One SSH connection shared by every line to its host (OpenSSH's connection sharing): ssh in
// the foreground as the master, our child, its control socket in a private folder. Ready once
// the socket appears (ssh makes it after the login), failed when ssh ends before. Many units
// behind one gateway so cost one login, not one each. It lives on the application's thread;
// lines on other threads (the register's sites) read its state and failure from theirs.
class SshGateway : public QObject
{
    Q_OBJECT
public:
    enum class State { Starting, Ready, Failed };

    SshGateway(QStringList command, SshLogin login, QString controlPath, QObject* parent = nullptr);
    ~SshGateway() override;

    State state() const { return state_; }
    SshFailure failure() const;
    const QString& controlPath() const { return controlPath_; }
    QString standardError() const;

    void start();
    void stop(); // ends the connection and every line on it

signals:
    void settled(); // ready or failed
    void ended();   // the connection ended after it was ready

private:
    void onDirectoryChanged();
    void onFinished();
    void settle(State state);
    void takeStandardError();

    QStringList command_;
    SshLogin login_;
    QString controlPath_;
    QProcess master_;
    QFileSystemWatcher watcher_;
    mutable std::mutex mutex_; // over what other threads read: the failure and ssh's words
    QByteArray standardError_;
    SshFailure failure_;
    std::atomic<State> state_ = State::Starting;
};

// The gateways of this program, one per ssh command and login, torn down when the program ends
// and each soon after its last line closed (as ssh's ControlPersist would, but ours to end).
// On the application's thread: a line on another thread takes and releases through it there.
class SshGateways : public QObject
{
    Q_OBJECT
public:
    static SshGateways& instance(); // owned by the application

    // The gateway to login, started if need be; nullptr, and why in wrong, when there can be
    // none (no private folder).
    std::shared_ptr<SshGateway> take(const QStringList& command, const SshLogin& login,
                                     QString* wrong);
    // A line is done with gateway; harmless once the program's gateways are gone.
    static void release(const std::shared_ptr<SshGateway>& gateway);

    ~SshGateways() override;

private:
    explicit SshGateways(QObject* parent);
    std::shared_ptr<SshGateway> takeHere(const QStringList& command, const SshLogin& login,
                                         QString* wrong);
    void releaseHere(const SshGateway* gateway);
    struct Entry
    {
        QString key;
        std::shared_ptr<SshGateway> gateway;
        int users = 0;
        std::unique_ptr<QTimer> linger;
    };
    Entry* entryOf(const SshGateway* gateway);
    void drop(const SshGateway* gateway);

    std::unique_ptr<QTemporaryDir> folder_;
    std::vector<std::unique_ptr<Entry>> entries_;
    int made_ = 0;
};

} // namespace tarvex::link
