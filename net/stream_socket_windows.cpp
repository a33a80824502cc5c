#include "line/windows_system_message.h"
#include "net/stream_socket.h"

#include <QPointer>
#include <QWinEventNotifier>

// Winsock first: the others build on it.
#include <winsock2.h>

#include <mstcpip.h>
#include <ws2tcpip.h>

#include <cstring>
#include <mutex>
#include <string>
#include <thread>
#include <utility>
#include <vector>

namespace tarvex::link {
namespace {

constexpr int kReadChunk = 4096;
// What one network event takes at most: a server that floods the line never keeps the program
// from its event loop, nor fills memory, between two looks at what arrived. (Each recv
// re-enables FD_READ, so the rest is taken on the next event.)
constexpr int kChunksPerEvent = 16;
// The dead-peer time of stream_socket.h: the idle time, then the ten probes Windows always sends
// (since Vista; SIO_KEEPALIVE_VALS sets their spacing, not their number).
constexpr ULONG kKeepAliveProbes = 10;
constexpr ULONG kKeepAliveIdleMs = ULONG(std::chrono::milliseconds(kKeepAliveIdle).count());
constexpr ULONG kKeepAliveIntervalMs =
    ULONG(std::chrono::milliseconds(kDeadPeerAfter - kKeepAliveIdle).count()) / kKeepAliveProbes;
// TCP_MAXRT of ws2ipdef.h (Windows Vista on), which MinGW's headers lack: how long unacknowledged
// data is sent again before the connection fails, in seconds.
constexpr int kTcpMaxRetransmitSeconds = 5;
constexpr DWORD kUnacknowledgedSeconds = DWORD(kUnacknowledgedFor.count());
// Winsock has no code for an orderly close by the far end; this one says just that.
constexpr int kClosedByPeer = WSAEDISCON;

// Winsock is started once per process and left running until the process ends.
int startWinsock()
{
    static const int result = [] {
        WSADATA data;
        return WSAStartup(MAKEWORD(2, 2), &data);
    }();
    return result;
}

StreamSocket::Error errorFor(int code)
{
    switch (code) {
    case WSAHOST_NOT_FOUND: // getaddrinfo's EAI_NONAME
    case WSANO_DATA:        // the name exists but has no address
        return StreamSocket::Error::HostNotFound;
    case WSAECONNREFUSED:
        return StreamSocket::Error::ConnectionRefused;
    case kClosedByPeer:
    case WSAECONNRESET:
    case WSAECONNABORTED:
        return StreamSocket::Error::RemoteClosed;
    default:
        return StreamSocket::Error::Other;
    }
}

struct Address
{
    int family = 0;
    int length = 0;
    sockaddr_storage storage{};
};

// Blocks in the name service: run only on a worker thread.
int lookUp(const std::wstring& host, const std::wstring& service, std::vector<Address>& found)
{
    ADDRINFOW hints{};
    hints.ai_family = AF_UNSPEC;
    hints.ai_socktype = SOCK_STREAM;
    hints.ai_protocol = IPPROTO_TCP;
    ADDRINFOW* list = nullptr;
    const int code = GetAddrInfoW(host.c_str(), service.c_str(), &hints, &list);
    if (code != 0)
        return code;
    for (const ADDRINFOW* entry = list; entry; entry = entry->ai_next) {
        Address address;
        address.family = entry->ai_family;
        address.length = int(entry->ai_addrlen);
        memcpy(&address.storage, entry->ai_addr, entry->ai_addrlen);
        found.push_back(address);
    }
    FreeAddrInfoW(list);
    return found.empty() ? WSAHOST_NOT_FOUND : 0;
}

// Small writes (a command line) go out at once; a peer that vanished while idle is noticed.
// Both are refinements: a system that refuses them still carries the line.
void tune(SOCKET handle)
{
    const BOOL on = TRUE;
    setsockopt(handle, IPPROTO_TCP, TCP_NODELAY, reinterpret_cast<const char*>(&on), sizeof on);
    tcp_keepalive keepalive{};
    keepalive.onoff = 1;
    keepalive.keepalivetime = kKeepAliveIdleMs;
    keepalive.keepaliveinterval = kKeepAliveIntervalMs;
    DWORD returned = 0;
    if (WSAIoctl(handle, SIO_KEEPALIVE_VALS, &keepalive, sizeof keepalive, nullptr, 0, &returned,
                 nullptr, nullptr) != 0)
        setsockopt(handle, SOL_SOCKET, SO_KEEPALIVE, reinterpret_cast<const char*>(&on), sizeof on);
    setsockopt(handle, IPPROTO_TCP, kTcpMaxRetransmitSeconds,
               reinterpret_cast<const char*>(&kUnacknowledgedSeconds),
               sizeof kUnacknowledgedSeconds);
}

// The way back from the resolver's thread: owner is cleared, under the lock, when the attempt is
// given up (close, a new connect, the socket's end), so a late answer reaches nobody.
struct Resolution
{
    std::mutex mutex;
    StreamSocket* owner;
};

} // namespace

class StreamSocket::Private
{
public:
    enum class State { Idle, Resolving, Connecting, Connected };

    explicit Private(StreamSocket* socket) : q(socket), notifier(event)
    {
        QObject::connect(&notifier, &QWinEventNotifier::activated, q,
                         [this] { handleNetworkEvents(); });
    }
    ~Private()
    {
        reset();
        notifier.setEnabled(false);
        WSACloseEvent(event);
    }

    StreamSocket* q;
    const int winsockFailure = startWinsock();
    // One event for the socket of the moment; the notifier wakes the event loop when Winsock
    // signals it, so nothing polls.
    const WSAEVENT event = WSACreateEvent();
    QWinEventNotifier notifier;
    SOCKET handle = INVALID_SOCKET;
    State state = State::Idle;
    // Bumped whenever the socket is given up, so a signal's receiver that closes or reconnects
    // ends what the handler that emitted was still doing.
    quint64 generation = 0;
    std::shared_ptr<Resolution> resolution;
    std::vector<Address> untried; // the resolved addresses not tried yet, in the resolver's order
    QByteArray incoming;
    QByteArray outgoing; // what send() has not taken yet; FD_WRITE says when it can
    Error error = Error::None;
    QString errorText;

    void failWith(int code)
    {
        error = errorFor(code);
        // An orderly close is no error of the system's, which has no words for it (Wine none at
        // all, Windows a note about WSARecv).
        errorText = code == kClosedByPeer ? QStringLiteral("The server closed the connection.")
                                          : systemMessage(DWORD(code));
    }

    void dropHandle()
    {
        if (handle != INVALID_SOCKET)
            closesocket(handle);
        handle = INVALID_SOCKET;
        WSAResetEvent(event);
    }

    void reset()
    {
        if (resolution) {
            const std::lock_guard lock(resolution->mutex);
            resolution->owner = nullptr;
        }
        resolution.reset();
        untried.clear();
        outgoing.clear();
        dropHandle();
        state = State::Idle;
        ++generation;
    }

    // Closes at once and reports from the event loop, as every other failure is.
    void failLater(int code)
    {
        failWith(code);
        reset();
        QMetaObject::invokeMethod(
            q,
            [this, attempt = generation] {
                if (generation == attempt)
                    emit q->failed();
            },
            Qt::QueuedConnection);
    }

    void failNow()
    {
        reset();
        emit q->failed();
    }

    void resolve(const QString& host, quint16 port)
    {
        resolution = std::make_shared<Resolution>();
        resolution->owner = q;
        state = State::Resolving;
        std::thread([job = resolution, host = host.toStdWString(),
                     service = std::to_wstring(port)] {
            std::vector<Address> found;
            const int code = lookUp(host, service, found);
            const std::lock_guard lock(job->mutex);
            if (!job->owner)
                return;
            QMetaObject::invokeMethod(
                job->owner,
                [job, code, found = std::move(found)]() mutable {
                    if (job->owner)
                        job->owner->d->resolved(code, std::move(found));
                },
                Qt::QueuedConnection);
        }).detach();
    }

    void resolved(int code, std::vector<Address> found)
    {
        resolution.reset();
        if (code != 0) {
            failWith(code);
            failNow();
            return;
        }
        untried = std::move(found);
        state = State::Connecting;
        connectNext();
    }

    // 0 when the attempt is under way (FD_CONNECT ends it), else why it could not start.
    int startConnect(const Address& address)
    {
        handle = socket(address.family, SOCK_STREAM, IPPROTO_TCP);
        if (handle == INVALID_SOCKET)
            return WSAGetLastError();
        tune(handle);
        // This also makes the socket non-blocking.
        if (WSAEventSelect(handle, event, FD_CONNECT | FD_READ | FD_WRITE | FD_CLOSE) != 0)
            return WSAGetLastError();
        if (::connect(handle, reinterpret_cast<const sockaddr*>(&address.storage),
                      address.length) == 0)
            return 0;
        const int code = WSAGetLastError();
        return code == WSAEWOULDBLOCK ? 0 : code;
    }

    // Each address in turn (a name often has an IPv6 and an IPv4 one); the last one's failure
    // is the one reported.
    void connectNext()
    {
        while (!untried.empty()) {
            const Address address = untried.front();
            untried.erase(untried.begin());
            const int code = startConnect(address);
            if (code == 0)
                return;
            failWith(code);
            dropHandle();
        }
        failNow();
    }

    void connectFinished(int code)
    {
        if (code != 0) {
            failWith(code);
            dropHandle();
            connectNext();
            return;
        }
        state = State::Connected;
        untried.clear();
        emit q->connected();
    }

    // Takes the bytes that have arrived, up to kChunksPerEvent chunks: 0 when none is left or the
    // rest waits for the next event, else why the line ended.
    int receive()
    {
        char chunk[kReadChunk];
        for (int chunks = 0; chunks < kChunksPerEvent; ++chunks) {
            const int count = recv(handle, chunk, kReadChunk, 0);
            if (count > 0) {
                incoming.append(chunk, count);
                continue;
            }
            if (count == 0)
                return kClosedByPeer;
            const int code = WSAGetLastError();
            return code == WSAEWOULDBLOCK ? 0 : code;
        }
        return 0;
    }

    // 0 when all is sent or the rest waits for FD_WRITE, else why the line ended.
    int flush()
    {
        while (!outgoing.isEmpty()) {
            const int count = send(handle, outgoing.constData(), int(outgoing.size()), 0);
            if (count == SOCKET_ERROR) {
                const int code = WSAGetLastError();
                return code == WSAEWOULDBLOCK ? 0 : code;
            }
            outgoing.remove(0, count);
        }
        return 0;
    }

    void handleNetworkEvents()
    {
        WSANETWORKEVENTS events{};
        if (handle == INVALID_SOCKET || WSAEnumNetworkEvents(handle, event, &events) != 0) {
            WSAResetEvent(event);
            return;
        }
        const QPointer<StreamSocket> alive(q);
        quint64 attempt = generation;
        if (events.lNetworkEvents & FD_CONNECT) {
            connectFinished(events.iErrorCode[FD_CONNECT_BIT]);
            if (!alive || generation != attempt || state != State::Connected)
                return;
        }
        if (state != State::Connected)
            return;
        int ended = 0;
        if (events.lNetworkEvents & FD_WRITE)
            ended = flush();
        const qsizetype before = incoming.size();
        // On a close, what arrived before it is read first, so it stays readable.
        const int readEnd = events.lNetworkEvents & (FD_READ | FD_CLOSE) ? receive() : 0;
        if (!ended && (events.lNetworkEvents & FD_CLOSE))
            ended = events.iErrorCode[FD_CLOSE_BIT] ? events.iErrorCode[FD_CLOSE_BIT]
                                                    : (readEnd ? readEnd : kClosedByPeer);
        if (!ended)
            ended = readEnd;
        if (ended) {
            failWith(ended);
            reset();
            attempt = generation;
        }
        if (incoming.size() > before) {
            emit q->received();
            if (!alive || generation != attempt)
                return;
        }
        if (ended)
            emit q->failed();
    }
};

StreamSocket::StreamSocket(QObject* parent) : QObject(parent), d(std::make_unique<Private>(this)) {}

StreamSocket::~StreamSocket() = default;

void StreamSocket::connectToHost(const QString& host, quint16 port)
{
    d->reset();
    d->incoming.clear();
    d->error = Error::None;
    d->errorText.clear();
    if (d->winsockFailure) {
        d->failLater(d->winsockFailure);
        return;
    }
    d->resolve(host, port);
}

void StreamSocket::close()
{
    d->reset();
}

bool StreamSocket::isConnected() const
{
    return d->state == Private::State::Connected;
}

bool StreamSocket::write(const QByteArray& bytes)
{
    // Without a connection there is nothing to fail: failed() was emitted already, or the
    // caller never connected.
    if (!isConnected())
        return false;
    d->outgoing += bytes;
    const int code = d->flush();
    if (code == 0)
        return true;
    d->failLater(code);
    return false;
}

QByteArray StreamSocket::readAll()
{
    return std::exchange(d->incoming, {});
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
