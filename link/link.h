#pragma once

#include "link/exchange_trace.h"
#include "link/port.h"

#include <QElapsedTimer>
#include <QObject>
#include <QString>
#include <QTimer>

#include <chrono>
#include <functional>

class QEventLoop;

namespace tarvex::link {

inline constexpr std::chrono::milliseconds kReplyWait{200};
// How long an exchange waits for the first byte that times a line's delay.
inline constexpr std::chrono::milliseconds kFirstReplyWithin{5000};

// The one-command exchange with the unit: write a line, wait a fixed time while the program
// keeps processing events, then take everything received as the reply. The wait blocks in a
// local event loop, so a waiting program uses no CPU.
class Link : public QObject
{
    Q_OBJECT
public:
    explicit Link(Port& port, std::chrono::milliseconds replyWait = kReplyWait,
                  QObject* parent = nullptr);
    ~Link() override;

    Port& cm;

    const QString& sentLine() const { return strCommand; } // the line last sent
    const QString& lastReply() const { return strReply; }  // the reply last read
    bool timeUp() const { return blnTimeUp; }              // the last wait ran its full time

    // Throws LinkError when the write or the read fails (lineSent() says which), LinkAborted
    // when abandoned. What arrived before the line went away is still the reply: the loss
    // fails the next exchange.
    QString SendAndWait(const QString& line);

    // For a scan: closes the port an earlier scan left open and lists the devices again.
    void startScan();

    // Whether the port of number opens; it is closed again at once. Nothing is written.
    struct OpenTry
    {
        bool opened = false;
        bool refusedForPermission = false;
        QString device;
    };
    OpenTry tryOpen(int number);

    // One probe of the port of number for a scan: open (which clears stale input), write line,
    // wait, read into strReply; it ends as an exchange does, with exchangeEnded. Returns the reply
    // when matches accepts it, and the port then stays open; a failed open, write or read never
    // matches, whatever strReply held. Throws LinkAborted when abandoned, with the port closed.
    std::optional<QString> Probe(int number, const QString& line,
                                 const std::function<bool(const QString&)>& matches);

    // One reply wait: false when it was abandoned (the program is closing).
    bool Wait();
    // A wait of time without an exchange, the line receiving meanwhile (what a late reply or a
    // server's late refusal needs to arrive): false when it was abandoned.
    bool Linger(std::chrono::milliseconds time);

    // The wait of the next exchanges (tests run their set-up quickly, then wait as the product).
    void setReplyWait(std::chrono::milliseconds replyWait) { replyWait_ = replyWait; }
    // What each exchange waits: the reply wait, plus the port's delay over a network.
    std::chrono::milliseconds replyWait() const { return replyWait_; }
    std::chrono::milliseconds waitUsed() const { return replyWait_ + cm.replyDelay(); }

    // Ends the running wait (an exchange's, or a network port's open) at once and makes every
    // later wait return false at once.
    void abort();
    bool isAborted() const { return aborted_; }
    bool isWaiting() const { return loop_ != nullptr; }

signals:
    void waitStarted();
    // An exchange or a probe is over: where it went, the line sent, what came back (read false
    // when the read failed; the exchange then throws) and how long its wait took. The one
    // record of it, for every log: nobody else times an exchange.
    void exchangeEnded(const tarvex::link::TracedExchange& exchange);

private:
    void onTick();
    void endExchange(const QString& line, const std::optional<QString>& reply);
    void stopWaiting();
    bool waitFor(std::chrono::milliseconds time);

    QString strCommand;
    QString strReply;
    bool blnTimeUp = false;
    std::chrono::milliseconds replyWait_;
    QTimer tmrWait;
    QElapsedTimer waited_; // the running exchange's wait
    QEventLoop* loop_ = nullptr;
    bool aborted_ = false;
};

} // namespace tarvex::link
