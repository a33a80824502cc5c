#include "net/ssh_gateway.h"

#include "net/ssh_command.h"
#include "net/ssh_process.h"

#include <QCoreApplication>
#include <QFileInfo>
#include <QTemporaryDir>
#include <QThread>

#include <chrono>

namespace tarvex::link {
namespace {

using namespace std::chrono_literals;

// How long an unused connection waits for another line (a read, then an apply) before it ends.
constexpr auto kLinger = 2s;

std::atomic<SshGateways*> gateways = nullptr;

QString keyOf(const QStringList& command, const SshLogin& login)
{
    return command.join(u'\x1f') + u'\x1e' + login.user + u'\x1e' + login.host + u'\x1e' +
           (login.port ? QString::number(*login.port) : QString());
}

} // namespace

SshGateway::SshGateway(QStringList command, SshLogin login, QString controlPath, QObject* parent)
    : QObject(parent), command_(std::move(command)), login_(std::move(login)),
      controlPath_(std::move(controlPath))
{
    ssh_process::prepare(master_);
    master_.setStandardInputFile(QProcess::nullDevice());
    master_.setStandardOutputFile(QProcess::nullDevice());
    connect(&master_, &QProcess::readyReadStandardError, this, &SshGateway::takeStandardError);
    connect(&master_, &QProcess::finished, this, &SshGateway::onFinished);
    connect(&master_, &QProcess::errorOccurred, this, [this](QProcess::ProcessError error) {
        if (error == QProcess::FailedToStart)
            onFinished();
    });
    connect(&watcher_, &QFileSystemWatcher::directoryChanged, this,
            &SshGateway::onDirectoryChanged);
}

SshGateway::~SshGateway()
{
    stop();
}

void SshGateway::start()
{
    watcher_.addPath(QFileInfo(controlPath_).path());
    master_.start(command_.first(),
                  command_.mid(1) + sshSharedConnectionArguments(login_, controlPath_));
}

void SshGateway::stop()
{
    if (!watcher_.directories().isEmpty())
        watcher_.removePaths(watcher_.directories());
    if (master_.state() == QProcess::NotRunning)
        return;
    disconnect(&master_, nullptr, this, nullptr);
    ssh_process::stop(master_); // ssh ends its connection and removes its socket
}

void SshGateway::onDirectoryChanged()
{
    if (state_ == State::Starting && QFileInfo::exists(controlPath_))
        settle(State::Ready);
}

SshFailure SshGateway::failure() const
{
    const std::lock_guard lock(mutex_);
    return failure_;
}

QString SshGateway::standardError() const
{
    const std::lock_guard lock(mutex_);
    return QString::fromLocal8Bit(standardError_);
}

void SshGateway::takeStandardError()
{
    const QByteArray words = master_.readAllStandardError();
    const std::lock_guard lock(mutex_);
    standardError_ += words;
}

void SshGateway::onFinished()
{
    takeStandardError();
    const State was = state_;
    if (was == State::Failed)
        return;
    SshFailure why = was == State::Starting && master_.error() == QProcess::FailedToStart
                         ? SshFailure{SshFailure::Kind::Unreachable,
                                      QStringLiteral("cannot run %1: %2")
                                          .arg(command_.first(), ssh_process::installHint())}
                         : sshFailureOf(standardError(), sshServerName(login_), {});
    {
        const std::lock_guard lock(mutex_);
        failure_ = std::move(why);
    }
    if (was == State::Ready) {
        state_ = State::Failed;
        emit ended();
        return;
    }
    settle(State::Failed);
}

void SshGateway::settle(State state)
{
    state_ = state;
    if (!watcher_.directories().isEmpty())
        watcher_.removePaths(watcher_.directories());
    emit settled();
}

SshGateways& SshGateways::instance()
{
    QCoreApplication* application = QCoreApplication::instance();
    const auto make = [application] {
        if (!gateways)
            gateways = new SshGateways(application);
    };
    if (QThread::currentThread() == application->thread())
        make();
    else
        QMetaObject::invokeMethod(application, make, Qt::BlockingQueuedConnection);
    return *gateways;
}

SshGateways::SshGateways(QObject* parent) : QObject(parent) {}

SshGateways::~SshGateways()
{
    entries_.clear(); // each gateway ends its connection
    gateways = nullptr;
}

std::shared_ptr<SshGateway> SshGateways::take(const QStringList& command, const SshLogin& login,
                                              QString* wrong)
{
    if (QThread::currentThread() == thread())
        return takeHere(command, login, wrong);
    // The application's thread waits in its event loop while others run lines (fleet_jobs.h).
    std::shared_ptr<SshGateway> taken;
    QMetaObject::invokeMethod(
        this, [&] { taken = takeHere(command, login, wrong); }, Qt::BlockingQueuedConnection);
    return taken;
}

std::shared_ptr<SshGateway> SshGateways::takeHere(const QStringList& command, const SshLogin& login,
                                                  QString* wrong)
{
    const QString key = keyOf(command, login);
    for (const auto& entry : entries_) {
        if (entry->key == key && entry->gateway->state() != SshGateway::State::Failed) {
            ++entry->users;
            entry->linger->stop();
            return entry->gateway;
        }
    }
    if (!folder_) {
        // Private to this user (0700), short enough for a Unix socket's path.
        folder_ = std::make_unique<QTemporaryDir>(QDir::tempPath() +
                                                  QStringLiteral("/tarvex-ssh-XXXXXX"));
        if (!folder_->isValid()) {
            *wrong = QStringLiteral("no private folder for SSH's shared connections: %1")
                         .arg(folder_->errorString());
            folder_.reset();
            return nullptr;
        }
    }
    auto entry = std::make_unique<Entry>();
    entry->key = key;
    entry->gateway = std::make_shared<SshGateway>(
        command, login, folder_->filePath(QStringLiteral("c%1").arg(++made_)));
    entry->users = 1;
    entry->linger = std::make_unique<QTimer>();
    entry->linger->setSingleShot(true);
    SshGateway* gateway = entry->gateway.get();
    // Not from inside the timer's own signal: the timer goes with its entry.
    connect(
        entry->linger.get(), &QTimer::timeout, this, [this, gateway] { drop(gateway); },
        Qt::QueuedConnection);
    entries_.push_back(std::move(entry));
    gateway->start();
    return entries_.back()->gateway;
}

void SshGateways::release(const std::shared_ptr<SshGateway>& gateway)
{
    SshGateways* all = gateways;
    if (all)
        QMetaObject::invokeMethod(all, [all, gateway] { all->releaseHere(gateway.get()); });
}

void SshGateways::releaseHere(const SshGateway* gateway)
{
    Entry* entry = entryOf(gateway);
    if (!entry || --entry->users > 0)
        return;
    if (gateway->state() == SshGateway::State::Failed)
        entry->linger->start(0);
    else
        entry->linger->start(kLinger);
}

void SshGateways::drop(const SshGateway* gateway)
{
    Entry* entry = entryOf(gateway);
    if (entry && entry->users == 0)
        std::erase_if(entries_, [gateway](const auto& e) { return e->gateway.get() == gateway; });
}

SshGateways::Entry* SshGateways::entryOf(const SshGateway* gateway)
{
    for (const auto& entry : entries_) {
        if (entry->gateway.get() == gateway)
            return entry.get();
    }
    return nullptr;
}

} // namespace tarvex::link
