#include "net/ssh_channel.h"

#include "net/ssh_command.h"
#include "net/ssh_gateway.h"
#include "net/ssh_process.h"

namespace tarvex::link {
namespace {

// ssh -v says when the far end accepted the channel: over a shared connection when the master
// hands over the session, on a connection of its own once the login is through.
bool acceptedIn(const QByteArray& standardError, bool shared)
{
    return standardError.contains(shared ? QByteArrayLiteral("master session id")
                                         : QByteArrayLiteral("Authenticated to"));
}

} // namespace

SshChannel::SshChannel(QObject* parent) : QObject(parent)
{
    ssh_process::prepare(child_);
    connect(&child_, &QProcess::readyReadStandardOutput, this, [this] {
        received_ += child_.readAllStandardOutput();
        if (connected_)
            emit received();
    });
    connect(&child_, &QProcess::readyReadStandardError, this, &SshChannel::onStandardError);
    connect(&child_, &QProcess::finished, this, &SshChannel::onFinished);
    connect(&child_, &QProcess::errorOccurred, this, [this](QProcess::ProcessError error) {
        if (error == QProcess::FailedToStart)
            onFinished();
    });
}

SshChannel::~SshChannel()
{
    close();
}

void SshChannel::start(const LineAddress& address)
{
    close();
    failure_ = {};
    closedByFarEnd_ = false;
    login_ = *address.ssh;
    target_ = address.kind == LineAddress::Kind::SshSession ? QString() : sshTarget(address);
    QString wrong;
    const std::optional<QStringList> command = sshCommandWords(&wrong);
    if (!command)
        return fail({SshFailure::Kind::Other, wrong});
    command_ = *command;
    running_ = true;
    ssh_process::allowManyChildren();
    if (!ssh_process::sharesConnections())
        return launch();
    gateway_ = SshGateways::instance().take(command_, login_, &wrong);
    if (!gateway_)
        return fail({SshFailure::Kind::Other, wrong});
    // Connected before the state is read: a gateway on another thread may settle in between.
    awaitingGateway_ = true;
    connect(gateway_.get(), &SshGateway::settled, this, &SshChannel::onGatewaySettled);
    if (gateway_->state() != SshGateway::State::Starting)
        onGatewaySettled();
}

void SshChannel::onGatewaySettled()
{
    if (!gateway_ || !awaitingGateway_)
        return;
    awaitingGateway_ = false;
    disconnect(gateway_.get(), &SshGateway::settled, this, nullptr);
    if (gateway_->state() == SshGateway::State::Failed)
        return fail(gateway_->failure());
    launch();
}

void SshChannel::launch()
{
    standardError_.clear();
    received_.clear();
    openClock_.start();
    child_.start(command_.first(),
                 command_.mid(1) + sshLineArguments(login_,
                                                    gateway_ ? gateway_->controlPath() : QString(),
                                                    target_));
}

void SshChannel::onStandardError()
{
    standardError_ += child_.readAllStandardError();
    if (connected_ || !acceptedIn(standardError_, gateway_ != nullptr))
        return;
    open();
    if (!received_.isEmpty())
        emit received();
}

void SshChannel::open()
{
    openNanoseconds_ = openClock_.nsecsElapsed();
    connected_ = true;
    emit connected();
}

void SshChannel::onFinished()
{
    if (!running_)
        return;
    standardError_ += child_.readAllStandardError();
    received_ += child_.readAllStandardOutput();
    // A channel that opened and ended before its acceptance was read (a terminal server that
    // refuses at once): open it first and end it later, as a socket's connect and close come.
    if (!connected_ && child_.error() != QProcess::FailedToStart &&
        acceptedIn(standardError_, gateway_ != nullptr)) {
        open();
        QMetaObject::invokeMethod(this, &SshChannel::end, Qt::QueuedConnection);
        return;
    }
    end();
}

void SshChannel::end()
{
    if (!running_)
        return;
    if (connected_ && !received_.isEmpty())
        emit received();
    if (!running_)
        return;
    const QString words = QString::fromLocal8Bit(standardError_) +
                          (gateway_ ? QStringLiteral("\n") + gateway_->standardError() : QString());
    const QString server = sshServerName(login_);
    if (child_.error() == QProcess::FailedToStart)
        return fail({SshFailure::Kind::Unreachable,
                     QStringLiteral("cannot run %1 (%2): %3")
                         .arg(command_.first(), child_.errorString(), ssh_process::installHint())});
    if (!connected_)
        return fail(sshFailureOf(words, server, target_));
    // An open channel ends cleanly when the far end closes it; otherwise ssh itself failed.
    closedByFarEnd_ = child_.exitStatus() == QProcess::NormalExit && child_.exitCode() == 0;
    const SshFailure why = sshFailureOf(words, server, target_);
    fail({SshFailure::Kind::Other,
          closedByFarEnd_
              ? QStringLiteral("the far end closed the SSH channel")
              : QStringLiteral("the SSH connection to %1 ended (%2)").arg(server, why.message)});
}

void SshChannel::fail(SshFailure failure)
{
    failure_ = std::move(failure);
    close();
    emit failed();
}

void SshChannel::close()
{
    running_ = false;
    connected_ = false;
    awaitingGateway_ = false;
    if (child_.state() != QProcess::NotRunning)
        ssh_process::stop(child_);
    releaseGateway();
}

void SshChannel::releaseGateway()
{
    if (!gateway_)
        return;
    disconnect(gateway_.get(), nullptr, this, nullptr);
    SshGateways::release(gateway_);
    gateway_.reset();
}

bool SshChannel::write(const QByteArray& bytes)
{
    if (!connected_)
        return false;
    return child_.write(bytes) == bytes.size();
}

QByteArray SshChannel::readAll()
{
    QByteArray bytes;
    bytes.swap(received_);
    return bytes;
}

} // namespace tarvex::link
