#pragma once

#include "net/line_address.h"
#include "net/ssh_failure.h"

#include <QElapsedTimer>
#include <QObject>
#include <QProcess>

#include <memory>

namespace tarvex::link {

class SshGateway;

// A network line's bytes through the system's ssh: the standard input and output of an ssh
// child are the line, a tunnel to the address's target (ssh -W) or a console server's session.
// Its standard error says why it failed. Where ssh can share connections, the child rides on the
// gateway of its SSH host (ssh_gateway.h), so many lines to one host cost one login.
class SshChannel : public QObject
{
    Q_OBJECT
public:
    explicit SshChannel(QObject* parent = nullptr);
    ~SshChannel() override;

    // Starts the login (or takes the shared one) and then the channel; returns at once. Ends in
    // connected(), once the far end has accepted the channel, or failed().
    void start(const LineAddress& address);
    void close(); // ends the child at once; no signal follows
    bool isConnected() const { return connected_; }

    bool write(const QByteArray& bytes);
    QByteArray readAll();

    // Why it failed; for an open channel that ended, Other with the reason.
    const SshFailure& failure() const { return failure_; }
    // The far end ended an open channel without a fault of ssh's (a terminal server closing).
    bool closedByFarEnd() const { return closedByFarEnd_; }
    // From the channel's request to the far end's acceptance: one round trip of the whole path.
    qint64 openNanoseconds() const { return openNanoseconds_; }

signals:
    void connected();
    void received();
    void failed();

private:
    void onGatewaySettled();
    void launch();
    void onStandardError();
    void onFinished();
    void open();
    void end(); // after the child finished
    void fail(SshFailure failure);
    void releaseGateway();

    QProcess child_;
    QStringList command_;
    SshLogin login_;
    QString target_; // HOST:PORT of a tunnel; empty for a session
    std::shared_ptr<SshGateway> gateway_;
    QByteArray standardError_;
    QByteArray received_;
    QElapsedTimer openClock_;
    qint64 openNanoseconds_ = 0;
    SshFailure failure_;
    bool connected_ = false;
    bool closedByFarEnd_ = false;
    bool running_ = false;
    bool awaitingGateway_ = false; // settled() not yet seen
};

} // namespace tarvex::link
