#pragma once

#include "net/line_address.h"
#include "net/ssh_channel.h"
#include "net/stream_socket.h"

#include <QElapsedTimer>
#include <QObject>

namespace tarvex::link {

// What carries a network line's bytes, by its address: a TCP connection of our own
// (stream_socket.h), or through an SSH host the standard streams of an ssh child
// (ssh_channel.h). The same signals either way, so the line above does not care which.
class LineTransport : public QObject
{
    Q_OBJECT
public:
    explicit LineTransport(QObject* parent = nullptr);

    void connectTo(const LineAddress& address); // returns at once: connected() or failed()
    void close();
    bool isConnected() const;
    bool write(const QByteArray& bytes);
    QByteArray readAll();

    StreamSocket::Error error() const;
    QString errorString() const;
    // SSH refused the login: the user's keys are not accepted there.
    bool refusedLogin() const;
    // The connection's handshake, one round trip: TCP's, or the SSH channel's open.
    qint64 handshakeNanoseconds() const;
    bool viaSsh() const { return viaSsh_; }

signals:
    void connected();
    void received();
    void failed();

private:
    StreamSocket socket_;
    SshChannel ssh_;
    QElapsedTimer clock_;
    qint64 connectNanoseconds_ = 0;
    bool viaSsh_ = false;
};

// How a line to address learns its delay, as a trace says it: given, or which round trip times it.
QString delaySourceOf(const LineAddress& address);
// A console server's session: the far end starts it only after the session opens, so only a
// reply times the whole path.
bool timedByFirstReply(const LineAddress& address);

} // namespace tarvex::link
