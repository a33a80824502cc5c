#pragma once

#include "line/byte_line.h"
#include "net/com_port_negotiation.h"
#include "net/line_address.h"
#include "net/line_transport.h"
#include "net/telnet_codec.h"

#include <QElapsedTimer>

#include <functional>

class QEventLoop;

namespace tarvex::link {

// A unit behind a terminal server: a TCP connection, raw or Telnet with the COM-PORT option,
// opened by its address (line_address.h). Every wait of the open (the connection, the Telnet
// answers, a busy server's moment) blocks in a local event loop with a bound, and
// abortWaits() ends it at once. The reply delay is the network's: measured at the open, or
// the address's ?delay=MS.
class NetworkLine : public ByteLine
{
    Q_OBJECT
public:
    explicit NetworkLine(QObject* parent = nullptr);
    ~NetworkLine() override;

    bool open(const LineAddress& address);
    void close() override;
    bool isOpen() const override { return open_; }
    bool write(const QByteArray& bytes) override;
    std::optional<QByteArray> readAll() override;
    QString errorString() const override { return error_; }
    bool openRefusedForPermission() const override { return !open_ && socket_.refusedLogin(); }
    bool openRefusedAsHeld() const override { return held_; }
    bool speaksOtherProtocol() const override { return speaksTelnet_; }
    std::chrono::milliseconds replyDelay() const override { return delay_; }
    QString replyDelaySource() const override { return delaySource_; }
    bool replyDelayPending() const override { return open_ && delayPending_; }
    void abortWaits() override;

private:
    enum class Waited { Done, Failed, TimedOut, Aborted };

    bool attempt(const LineAddress& address);
    bool connectTo(const LineAddress& address);
    bool negotiate();
    bool settle(const LineAddress& address);
    bool endedEarly(Waited waited, const QString& during);
    Waited waitFor(const std::function<bool()>& done, std::chrono::milliseconds bound);
    bool pause(std::chrono::milliseconds time);
    bool fail(const QString& reason);

    void onReceived();
    void onFailed();
    void takeTelnet(const QByteArray& bytes);
    void takeRaw(const QByteArray& bytes, bool connectionStart);
    void hold(const QByteArray& data);
    void refuse(const QString& reason);
    void lose(const QString& reason);
    QString telnetAdvice() const;

    LineTransport socket_;
    bool telnet_ = false;
    telnet::Decoder decoder_;
    ComPortNegotiation negotiation_;
    QElapsedTimer requestClock_; // since the last line-settings request went out
    QElapsedTimer connection_;   // since the connection was made
    std::chrono::milliseconds delay_{0};
    QString delaySource_;
    bool delayPending_ = false;  // timed by the first reply: from the write to its first byte
    QElapsedTimer replyClock_;   // since the write that the pending delay is timed from
    QByteArray received_;        // data, Telnet taken out, not yet read; bounded
    QByteArray opening_;         // the connection's first bytes: what a server says at once
    char lastRawByte_ = 0;       // of a raw line, so that a command split across reads is seen
    bool awaitingReply_ = false; // written, and not read since
    QString address_;            // as written, for the advice of a refusal
    QString error_;
    QEventLoop* loop_ = nullptr;
    bool open_ = false;
    bool held_ = false;
    bool socketFailed_ = false; // during the open, before it counts as a loss
    bool refused_ = false;      // during the open: the line will not do (flood, Telnet)
    bool speaksTelnet_ = false;
    bool aborted_ = false;
};

} // namespace tarvex::link
