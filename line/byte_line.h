#pragma once

#include <QByteArray>
#include <QObject>
#include <QString>

#include <chrono>
#include <optional>

namespace tarvex::link {

// What carries the unit's bytes behind a port: a serial device, or a network connection to a
// terminal server. The port above it numbers the lines, checks the text and reports a loss.
// Each kind opens what names it (a path, an address) and drops input that arrived before.
class ByteLine : public QObject
{
    Q_OBJECT
public:
    using QObject::QObject;

    virtual void close() = 0;
    virtual bool isOpen() const = 0;
    virtual bool write(const QByteArray& bytes) = 0; // the whole of bytes, or false
    // What has arrived and not yet been read; once the line is lost, what arrived before the
    // loss (once), then nothing. close() and open() drop it.
    virtual std::optional<QByteArray> readAll() = 0;
    virtual QString errorString() const = 0;           // why the last operation failed
    virtual bool openRefusedForPermission() const = 0; // the system's rights refused the open

    // The far end holds the line for another client (a terminal server's busy port).
    virtual bool openRefusedAsHeld() const { return false; }
    // The far end speaks another protocol than the line was opened for (a Telnet server on a
    // raw TCP line): the line failed, and the name must change, not the attempt repeat.
    virtual bool speaksOtherProtocol() const { return false; }
    // How much later than on a serial port a reply arrives: a network's round trip.
    virtual std::chrono::milliseconds replyDelay() const { return {}; }
    // How that delay was learnt, in a trace's words ("timed by the Telnet answers", "as given").
    virtual QString replyDelaySource() const { return {}; }
    // The delay is not known yet: it is timed by the first reply (from the next write to its
    // first byte), and delayLearnt() says when.
    virtual bool replyDelayPending() const { return false; }
    // Ends a wait of the open (for a connection, an answer) at once; the open then fails.
    virtual void abortWaits() {}

signals:
    // The line went away while open; it is closed when this is emitted, once per loss.
    void lost(const QString& systemText);
    void delayLearnt();
};

} // namespace tarvex::link
