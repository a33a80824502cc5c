#include "net/stream_socket.h"

#include <QTcpSocket>

#include <netinet/in.h>
#include <netinet/tcp.h>
#include <sys/socket.h>

namespace tarvex::link {
namespace {

// The dead-peer time of stream_socket.h: the idle time, then three probes.
constexpr int kKeepProbes = 3;
constexpr int kKeepIdleSeconds = int(kKeepAliveIdle.count());
constexpr int kKeepIntervalSeconds = int((kDeadPeerAfter - kKeepAliveIdle).count()) / kKeepProbes;
constexpr unsigned kUnacknowledgedMs =
    unsigned(std::chrono::milliseconds(kUnacknowledgedFor).count());
static_assert(kKeepIdleSeconds + kKeepProbes * kKeepIntervalSeconds == kDeadPeerAfter.count());

void tuneKeepalive(qintptr descriptor)
{
    const int fd = int(descriptor);
    ::setsockopt(fd, IPPROTO_TCP, TCP_KEEPIDLE, &kKeepIdleSeconds, sizeof kKeepIdleSeconds);
    ::setsockopt(fd, IPPROTO_TCP, TCP_KEEPINTVL, &kKeepIntervalSeconds,
                 sizeof kKeepIntervalSeconds);
    ::setsockopt(fd, IPPROTO_TCP, TCP_KEEPCNT, &kKeepProbes, sizeof kKeepProbes);
    ::setsockopt(fd, IPPROTO_TCP, TCP_USER_TIMEOUT, &kUnacknowledgedMs, sizeof kUnacknowledgedMs);
}

StreamSocket::Error errorOf(QAbstractSocket::SocketError error)
{
    switch (error) {
    case QAbstractSocket::HostNotFoundError:
        return StreamSocket::Error::HostNotFound;
    case QAbstractSocket::ConnectionRefusedError:
        return StreamSocket::Error::ConnectionRefused;
    case QAbstractSocket::RemoteHostClosedError:
        return StreamSocket::Error::RemoteClosed;
    default:
        return StreamSocket::Error::Other;
    }
}

} // namespace

class StreamSocket::Private
{
public:
    QTcpSocket socket;
    QByteArray received; // kept here, so that what came before a failure can still be read
    Error error = Error::None;
    QString errorText;
    bool connected = false;
    bool ended = true; // no attempt running and no connection: no signal may follow
};

StreamSocket::StreamSocket(QObject* parent) : QObject(parent), d(std::make_unique<Private>())
{
    QTcpSocket& socket = d->socket;
    connect(&socket, &QTcpSocket::connected, this, [this] {
        d->connected = true;
        d->socket.setSocketOption(QAbstractSocket::KeepAliveOption, 1);
        d->socket.setSocketOption(QAbstractSocket::LowDelayOption, 1);
        tuneKeepalive(d->socket.socketDescriptor());
        emit connected();
    });
    connect(&socket, &QTcpSocket::readyRead, this, [this] {
        d->received += d->socket.readAll();
        emit received();
    });
    connect(&socket, &QTcpSocket::errorOccurred, this, [this](QAbstractSocket::SocketError error) {
        if (d->ended)
            return;
        d->received += d->socket.readAll();
        d->error = errorOf(error);
        d->errorText = d->socket.errorString();
        d->ended = true;
        d->connected = false;
        d->socket.abort();
        emit failed();
    });
    // A close without an error report (an orderly end after a half-close) ends it as well.
    connect(&socket, &QTcpSocket::disconnected, this, [this] {
        if (d->ended)
            return;
        d->received += d->socket.readAll();
        d->error = Error::RemoteClosed;
        d->errorText = QStringLiteral("The remote host closed the connection");
        d->ended = true;
        d->connected = false;
        emit failed();
    });
}

StreamSocket::~StreamSocket()
{
    close();
}

void StreamSocket::connectToHost(const QString& host, quint16 port)
{
    close();
    d->received.clear();
    d->error = Error::None;
    d->errorText.clear();
    d->ended = false;
    d->socket.connectToHost(host, port);
}

void StreamSocket::close()
{
    d->ended = true;
    d->connected = false;
    d->socket.abort();
}

bool StreamSocket::isConnected() const
{
    return d->connected;
}

bool StreamSocket::write(const QByteArray& bytes)
{
    return d->connected && d->socket.write(bytes) == bytes.size();
}

QByteArray StreamSocket::readAll()
{
    QByteArray bytes;
    bytes.swap(d->received);
    return bytes;
}

StreamSocket::Error StreamSocket::error() const
{
    return d->error;
}

QString StreamSocket::errorString() const
{
    return d->errorText;
}

} // namespace tarvex::link
