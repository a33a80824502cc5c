#pragma once

#include <QByteArray>
#include <QObject>
#include <QString>

#include <chrono>
#include <memory>

namespace tarvex::link {

// A peer that vanishes without a word (a powered-off server, a cut link) is noticed within
// kDeadPeerAfter of silence on every system, rather than after the systems' two hours: keepalive
// probes start after kKeepAliveIdle, and the rest of the time goes to the unanswered probes
// (3 of them 5 s apart on POSIX; the 10 that Windows always sends, 1.5 s apart). Data that the
// peer never acknowledges fails the connection after kUnacknowledgedFor.
inline constexpr std::chrono::seconds kKeepAliveIdle{10};
inline constexpr std::chrono::seconds kDeadPeerAfter{25};
inline constexpr std::chrono::seconds kUnacknowledgedFor{10};

// One TCP connection to a terminal server: the part of a network line that differs by system.
// Qt's network module on Linux; on Windows our own Winsock code, because the Qt for Windows we
// ship is built without its network module. It only moves bytes and says what happened, through
// signals; how long to wait for what (the connect, a Telnet answer, a reply) is decided above it,
// the same on every system.
class StreamSocket : public QObject
{
    Q_OBJECT
public:
    enum class Error {
        None,
        HostNotFound,      // the name does not resolve
        ConnectionRefused, // nothing listens there
        RemoteClosed,      // the server ended the connection
        Other,             // any other failure; errorString() says which
    };

    explicit StreamSocket(QObject* parent = nullptr);
    ~StreamSocket() override;

    // Starts resolving host and connecting to port; returns at once. Ends in connected() or
    // failed(). host is a name, an IPv4 address or an IPv6 address without brackets. Once
    // connected, keepalive notices a dead peer as said above, and small writes go out at once.
    void connectToHost(const QString& host, quint16 port);
    // Ends the connection, or an attempt at one, at once; no signal follows.
    void close();
    bool isConnected() const;

    bool write(const QByteArray& bytes); // queues all of bytes, or false (then failed() follows)
    QByteArray readAll();                // what has arrived and not yet been read

    Error error() const;         // why the last attempt or the connection failed
    QString errorString() const; // the system's words for it

signals:
    void connected();
    void received(); // new bytes can be read
    // The attempt or the connection failed or was closed by the far end; emitted once, and the
    // socket is closed when it is. Bytes that arrived before can still be read.
    void failed();

private:
    class Private;
    std::unique_ptr<Private> d;
};

} // namespace tarvex::link
