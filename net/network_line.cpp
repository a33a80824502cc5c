#include "net/network_line.h"

#include "line/received_text.h"
#include "net/server_quirks.h"

#include <QEventLoop>
#include <QTimer>

#include <cmath>

namespace tarvex::link {
namespace {

using namespace std::chrono_literals;

// Bounds of the open: a few seconds for each step, whatever the network does.
constexpr auto kConnectWithin = 5s;
constexpr auto kSshConnectWithin = 15s; // a login first, maybe through jump hosts
constexpr auto kNegotiateWithin = 10s;

// A reply is under 100 bytes; a line that holds far more unasked is no unit's, and what it
// holds is bounded, whatever the server sends.
constexpr qsizetype kMostHeld = 4096;
constexpr qsizetype kOpeningKept = 256;

// The loop's codes, distinct from the 0 of a quitting application.
constexpr int kDone = 1;
constexpr int kFailed = 2;
constexpr int kTimedOut = 3;
constexpr int kAborted = 4;

std::chrono::milliseconds wholeMilliseconds(qint64 nanoseconds)
{
    return std::chrono::milliseconds(qint64(std::ceil(double(nanoseconds) / 1e6)));
}

QString seconds(std::chrono::milliseconds time)
{
    return QStringLiteral("%1 s").arg(double(time.count()) / 1000.0);
}

} // namespace

NetworkLine::NetworkLine(QObject* parent) : ByteLine(parent)
{
    connect(&socket_, &LineTransport::received, this, &NetworkLine::onReceived);
    connect(&socket_, &LineTransport::failed, this, &NetworkLine::onFailed);
}

NetworkLine::~NetworkLine()
{
    abortWaits();
}

bool NetworkLine::open(const LineAddress& address)
{
    aborted_ = false;
    held_ = false;
    address_ = address.text;
    if (open_)
        return fail(QStringLiteral("the line is already open"));
    QElapsedTimer since;
    since.start();
    while (!attempt(address)) {
        if (!held_ || aborted_ ||
            std::chrono::milliseconds(since.elapsed()) >= quirks::kHeldRetryFor)
            return false;
        const QString heldReason = error_;
        if (!pause(quirks::kHeldRetryPause))
            return false;
        error_ = heldReason;
    }
    return true;
}

bool NetworkLine::attempt(const LineAddress& address)
{
    close();
    telnet_ = address.kind == LineAddress::Kind::Rfc2217;
    decoder_ = {};
    negotiation_ = {};
    held_ = false;
    socketFailed_ = false;
    refused_ = false;
    speaksTelnet_ = false;
    opening_.clear();
    lastRawByte_ = 0;
    awaitingReply_ = false;
    if (!connectTo(address))
        return false;
    if (!(telnet_ ? negotiate() : settle(address))) {
        socket_.close();
        return false;
    }
    delay_ = address.delay.value_or(delay_);
    delaySource_ = delaySourceOf(address);
    delayPending_ = timedByFirstReply(address);
    replyClock_.invalidate();
    received_.clear(); // what came before the open, as a serial port drops it
    open_ = true;
    return true;
}

bool NetworkLine::connectTo(const LineAddress& address)
{
    socket_.connectTo(address);
    const auto bound = socket_.viaSsh() ? kSshConnectWithin : kConnectWithin;
    // The transport may fail before it returns (on Windows, an ssh that cannot run): the wait
    // then ends at once.
    const Waited waited = waitFor([this] { return socket_.isConnected(); }, bound);
    // The handshake takes one round trip: the raw line's delay, unless measured otherwise.
    delay_ = wholeMilliseconds(socket_.handshakeNanoseconds());
    if (waited == Waited::Done) {
        connection_.start();
        return true;
    }
    socket_.close();
    if (waited == Waited::TimedOut)
        return fail(QStringLiteral("no answer to the connection within %1").arg(seconds(bound)));
    if (waited == Waited::Aborted)
        return fail(QStringLiteral("the connection was abandoned"));
    switch (socket_.error()) {
    case StreamSocket::Error::HostNotFound:
        return fail(QStringLiteral("no such host \"%1\"").arg(address.host));
    case StreamSocket::Error::ConnectionRefused:
        return fail(QStringLiteral("the connection was refused: nothing listens on port %1 of %2")
                        .arg(address.port)
                        .arg(address.host));
    default:
        return fail(QStringLiteral("cannot connect: %1").arg(socket_.errorString()));
    }
}

// The delay is the largest round trip of the questions after the settings.
bool NetworkLine::negotiate()
{
    delay_ = {};
    socket_.write(ComPortNegotiation::opening());
    const Waited waited = waitFor(
        [this] {
            return negotiation_.isDone() || !negotiation_.refusal().isEmpty() ||
                   decoder_.isBroken() || refused_;
        },
        kNegotiateWithin);
    if (refused_)
        return false;
    if (waited != Waited::Done)
        return endedEarly(waited, QStringLiteral("the Telnet COM-PORT negotiation"));
    if (decoder_.isBroken())
        return fail(QStringLiteral("the server's Telnet negotiation is malformed"));
    if (!negotiation_.refusal().isEmpty())
        return fail(negotiation_.refusal());
    return true;
}

bool NetworkLine::settle(const LineAddress& address)
{
    const Waited waited = waitFor([this] { return refused_; },
                                  quirks::kBusyTextWithin + address.delay.value_or(delay_));
    if (refused_)
        return false;
    return waited == Waited::TimedOut || endedEarly(waited, QStringLiteral("the connection"));
}

// The open's wait ended otherwise than hoped: the server closed (a busy port says so first),
// said nothing in time, or the wait was abandoned.
bool NetworkLine::endedEarly(Waited waited, const QString& during)
{
    if (waited == Waited::Aborted)
        return fail(QStringLiteral("the connection was abandoned"));
    if (waited == Waited::TimedOut)
        return fail(QStringLiteral("no answer to %1 within %2 (a raw TCP port? then tcp://)")
                        .arg(during, seconds(kNegotiateWithin)));
    const QByteArray said = telnet_ ? received_ : opening_; // Telnet's own bytes say nothing
    if (said.contains(quirks::kBusyText)) {
        held_ = true;
        return fail(QStringLiteral("the terminal server's port is in use by another client (%1)")
                        .arg(quotedExcerpt(said.trimmed())));
    }
    return fail(QStringLiteral("the server closed %1 at once").arg(during));
}

NetworkLine::Waited NetworkLine::waitFor(const std::function<bool()>& done,
                                         std::chrono::milliseconds bound)
{
    if (aborted_)
        return Waited::Aborted;
    if (done())
        return Waited::Done;
    if (socketFailed_) // it ended before this wait began: the connect's wait saw it connect
        return Waited::Failed;
    QEventLoop loop;
    QTimer timer;
    timer.setSingleShot(true);
    connect(&timer, &QTimer::timeout, &loop, [&loop] { loop.exit(kTimedOut); });
    // The first outcome ends the wait: a connect, the data and the close can come in one pass
    // of the loop, and the connect is then what this wait was for.
    bool ended = false;
    const auto check = [&] {
        if (ended)
            return;
        ended = socketFailed_ || done();
        if (ended)
            loop.exit(socketFailed_ ? kFailed : kDone);
    };
    connect(&socket_, &LineTransport::connected, &loop, check);
    connect(&socket_, &LineTransport::received, &loop, check);
    connect(&socket_, &LineTransport::failed, &loop, check);
    timer.start(bound);
    loop_ = &loop;
    const int code = loop.exec();
    loop_ = nullptr;
    switch (code) {
    case kDone:
        return Waited::Done;
    case kFailed:
        return Waited::Failed;
    case kTimedOut:
        return Waited::TimedOut;
    default: // abandoned, or the application is quitting
        aborted_ = true;
        return Waited::Aborted;
    }
}

bool NetworkLine::pause(std::chrono::milliseconds time)
{
    socketFailed_ = false; // the last attempt's end, already taken
    if (waitFor([] { return false; }, time) == Waited::TimedOut)
        return true;
    return fail(QStringLiteral("the connection was abandoned"));
}

void NetworkLine::abortWaits()
{
    aborted_ = true;
    if (loop_)
        loop_->exit(kAborted);
}

void NetworkLine::close()
{
    open_ = false;
    socket_.close();
    received_.clear();
}

bool NetworkLine::write(const QByteArray& bytes)
{
    if (!open_)
        return fail(QStringLiteral("the line is not open"));
    if (!socket_.write(telnet_ ? telnet::escaped(bytes) : bytes))
        return fail(socket_.errorString());
    awaitingReply_ = true;
    if (delayPending_)
        replyClock_.start();
    return true;
}

// A lost connection still gives what came before its end, once.
std::optional<QByteArray> NetworkLine::readAll()
{
    if (!open_ && received_.isEmpty())
        return std::nullopt;
    awaitingReply_ = false;
    QByteArray bytes;
    bytes.swap(received_);
    return bytes;
}

bool NetworkLine::fail(const QString& reason)
{
    error_ = reason;
    return false;
}

void NetworkLine::onReceived()
{
    const QByteArray bytes = socket_.readAll();
    const bool connectionStart = opening_.isEmpty();
    if (opening_.size() < kOpeningKept)
        opening_ += bytes.left(kOpeningKept - opening_.size());
    if (telnet_)
        takeTelnet(bytes);
    else
        takeRaw(bytes, connectionStart);
    if (open_ && delayPending_ && replyClock_.isValid() && !bytes.isEmpty()) {
        delay_ = wholeMilliseconds(replyClock_.nsecsElapsed());
        delayPending_ = false;
        emit delayLearnt();
    }
}

// A Telnet server negotiates at once, and never answers in a unit's place: its commands at the
// start of the connection, or while no reply is due, mean the address should say rfc2217://.
// They end the line before anything is written that its Telnet would take for a command.
void NetworkLine::takeRaw(const QByteArray& bytes, bool connectionStart)
{
    const bool unprompted = !awaitingReply_ || connectionStart;
    const QByteArray seen = lastRawByte_ + bytes;
    lastRawByte_ = bytes.isEmpty() ? lastRawByte_ : bytes.back();
    if (unprompted && telnet::holdsNegotiation(seen)) {
        speaksTelnet_ = true;
        refuse(QStringLiteral("this port speaks Telnet: use %1").arg(telnetAdvice()));
        return;
    }
    hold(bytes);
}

QString NetworkLine::telnetAdvice() const
{
    QString advice = address_;
    advice.replace(0, int(address_.indexOf(QStringLiteral("://"))), QStringLiteral("rfc2217"));
    return advice;
}

void NetworkLine::hold(const QByteArray& data)
{
    if (!open_ && refused_)
        return;
    if (received_.size() + data.size() <= kMostHeld) {
        received_ += data;
        return;
    }
    received_ += data.left(kMostHeld - received_.size());
    refuse(QStringLiteral("the line sends far more than a unit would (over %1 bytes unasked)")
               .arg(kMostHeld));
}

// The line will not do: during the open the open fails, afterwards the line is lost; either
// way once, and nothing more is read from it.
void NetworkLine::refuse(const QString& reason)
{
    if (open_) {
        lose(reason);
        return;
    }
    refused_ = true;
    socket_.close();
    fail(reason);
}

// Telnet never reaches the data; the server's requests are answered as they come, during the
// open and after it, and each answer to a line-settings request times a round trip.
void NetworkLine::takeTelnet(const QByteArray& bytes)
{
    const bool wasOpen = open_;
    hold(decoder_.feed(bytes));
    if (refused_ || (wasOpen && !open_)) // a flood ended the line
        return;
    QByteArray answers;
    for (const telnet::Event& event : decoder_.takeEvents()) {
        const int answered = negotiation_.answersReceived();
        const int sent = negotiation_.requestsSent();
        answers += negotiation_.take(event);
        if (negotiation_.answersReceived() > answered &&
            ComPortNegotiation::timesRoundTrip(answered))
            delay_ = std::max(delay_, wholeMilliseconds(requestClock_.nsecsElapsed()));
        if (negotiation_.requestsSent() > sent)
            requestClock_.start();
    }
    if (!answers.isEmpty())
        socket_.write(answers);
    if (open_ && decoder_.isBroken())
        lose(QStringLiteral("the server's Telnet data is malformed"));
    else if (open_ && !negotiation_.refusal().isEmpty())
        lose(negotiation_.refusal());
}

void NetworkLine::onFailed()
{
    onReceived(); // what came before the end is still data
    if (!open_) {
        socketFailed_ = true;
        return;
    }
    // Behind a slow path a busy server's refusal, a round trip after the connection, comes
    // after a raw line's open (a Telnet line's negotiation waits for it).
    if (!telnet_ && opening_.contains(quirks::kBusyText) &&
        std::chrono::milliseconds(connection_.elapsed()) < quirks::kBusyTextLateWithin) {
        held_ = true;
        lose(QStringLiteral("the terminal server's port is in use by another client (%1)")
                 .arg(quotedExcerpt(opening_.trimmed())));
        return;
    }
    lose(socket_.error() == StreamSocket::Error::RemoteClosed
             ? QStringLiteral("the terminal server closed the connection")
             : socket_.errorString());
}

void NetworkLine::lose(const QString& reason)
{
    open_ = false;
    socket_.close();
    error_ = reason;
    emit lost(reason);
}

} // namespace tarvex::link
