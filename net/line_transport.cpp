#include "net/line_transport.h"

namespace tarvex::link {

QString delaySourceOf(const LineAddress& address)
{
    if (address.delay)
        return QStringLiteral("as given");
    switch (address.kind) {
    case LineAddress::Kind::Rfc2217:
        return QStringLiteral("timed by the Telnet answers");
    case LineAddress::Kind::SshSession:
        return QStringLiteral("timed by the first reply byte");
    case LineAddress::Kind::RawTcp:
        break;
    }
    return address.ssh ? QStringLiteral("timed by the SSH channel's open")
                       : QStringLiteral("timed by the TCP connect");
}

bool timedByFirstReply(const LineAddress& address)
{
    return address.kind == LineAddress::Kind::SshSession && !address.delay;
}

LineTransport::LineTransport(QObject* parent) : QObject(parent)
{
    connect(&socket_, &StreamSocket::connected, this, [this] {
        connectNanoseconds_ = clock_.nsecsElapsed();
        emit connected();
    });
    connect(&socket_, &StreamSocket::received, this, &LineTransport::received);
    connect(&socket_, &StreamSocket::failed, this, &LineTransport::failed);
    connect(&ssh_, &SshChannel::connected, this, &LineTransport::connected);
    connect(&ssh_, &SshChannel::received, this, &LineTransport::received);
    connect(&ssh_, &SshChannel::failed, this, &LineTransport::failed);
}

void LineTransport::connectTo(const LineAddress& address)
{
    close();
    viaSsh_ = address.ssh.has_value();
    clock_.start();
    if (viaSsh_)
        ssh_.start(address);
    else
        socket_.connectToHost(address.host, address.port);
}

void LineTransport::close()
{
    socket_.close();
    ssh_.close();
}

bool LineTransport::isConnected() const
{
    return viaSsh_ ? ssh_.isConnected() : socket_.isConnected();
}

bool LineTransport::write(const QByteArray& bytes)
{
    return viaSsh_ ? ssh_.write(bytes) : socket_.write(bytes);
}

QByteArray LineTransport::readAll()
{
    return viaSsh_ ? ssh_.readAll() : socket_.readAll();
}

StreamSocket::Error LineTransport::error() const
{
    if (!viaSsh_)
        return socket_.error();
    return ssh_.closedByFarEnd() ? StreamSocket::Error::RemoteClosed : StreamSocket::Error::Other;
}

QString LineTransport::errorString() const
{
    return viaSsh_ ? ssh_.failure().message : socket_.errorString();
}

bool LineTransport::refusedLogin() const
{
    return viaSsh_ && ssh_.failure().kind == SshFailure::Kind::LoginRefused;
}

qint64 LineTransport::handshakeNanoseconds() const
{
    return viaSsh_ ? ssh_.openNanoseconds() : connectNanoseconds_;
}

} // namespace tarvex::link
