#pragma once

#include "link/port.h"

#include <QObject>
#include <QString>
#include <QTimer>

#include <chrono>

class QEventLoop;

namespace tarvex::link {

inline constexpr std::chrono::milliseconds kReplyWait{200};

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

    QString strCommand; // the line last sent
    QString strReply;   // the reply last read
    bool blnTimeUp = false;

    // Throws LinkError when the write or the read fails, LinkAborted when abandoned.
    QString SendAndWait(const QString& line);

    // One reply wait: false when it was abandoned (the program is closing).
    bool Wait();

    // Ends the running wait at once and makes every later wait return false at once.
    void abort();
    bool isAborted() const { return aborted_; }
    bool isWaiting() const { return loop_ != nullptr; }

signals:
    void waitStarted();
    // An exchange is over: the line sent and what came back; read is false when the read
    // failed (the exchange then throws).
    void exchangeEnded(const QString& command, const QString& reply, bool read);

private:
    void onTick();

    QTimer tmrWait;
    QEventLoop* loop_ = nullptr;
    bool aborted_ = false;
};

} // namespace tarvex::link
