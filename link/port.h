#pragma once

#include "link/device_name.h"

#include <QObject>
#include <QString>

#include <algorithm>
#include <chrono>
#include <optional>

namespace tarvex::link {

// The unit takes one byte per character. A port checks this itself, so that the link needs
// nothing of the protocol; the protocol refuses the same texts earlier, with its own reasons.
inline bool encodesInLatin1(const QString& text)
{
    return std::all_of(text.cbegin(), text.cend(), [](QChar c) { return c.unicode() <= 0xFF; });
}

// The operations the program needs of a serial port, by port number. Every operation reports
// failure in its result; errorString() then gives the reason. The scan and the exchange work
// on this interface, so a test can stand an in-memory port in for the real one.
class Port : public QObject
{
    Q_OBJECT
public:
    using QObject::QObject;

    virtual bool SetPortNumber(int number) = 0; // refused while open and outside 1..255
    // Names the device of the next opens outside the numbering (an address the operator typed),
    // until SetPortNumber picks a number again. Refused while open, and by a port that reaches
    // only its own numbers (the in-process units of --demo).
    virtual bool SetDevice(const DeviceName& /*device*/) { return false; }
    virtual bool SetOpen(bool open) = 0; // opens with the fixed line settings, or closes
    virtual bool IsOpen() const = 0;
    virtual bool WriteText(const QString& text) = 0; // queues the bytes, returns at once
    virtual std::optional<QString> ReadAll() = 0;    // everything received and not yet read

    // Lists the system's devices again, so numbers match what is plugged in now. Only while
    // closed; a port with fixed numbers ignores it.
    virtual void refreshDevices() {}

    virtual int portNumber() const = 0;
    virtual QString deviceName() const = 0;
    virtual QString errorString() const = 0;
    // True when the last failed open was refused for lack of permission.
    virtual bool openRefusedForPermission() const = 0;
    // True when the last failed open was refused because the far end serves another client
    // (a terminal server's busy port), or the line was lost for that reason right after it.
    virtual bool openRefusedAsHeld() const { return false; }
    // True when the last open or loss found the far end speaking another protocol than the
    // device's name says (a Telnet server behind tcp://): nothing answers there as named.
    virtual bool speaksOtherProtocol() const { return false; }

    // The network address the current device names; nothing for a serial device.
    virtual std::optional<LineAddress> networkAddress() const { return std::nullopt; }

    // How much later than on a serial port a reply arrives (a network's round trip), known
    // once open; the exchange waits this much longer.
    virtual std::chrono::milliseconds replyDelay() const { return {}; }
    virtual QString replyDelaySource() const { return {}; } // how it was learnt
    // Not known yet: the next reply times it, and replyDelayLearnt() follows its first byte.
    virtual bool replyDelayPending() const { return false; }
    // Ends a wait inside SetOpen (for a network connection) at once; the open then fails.
    virtual void abortWaits() {}

signals:
    // The device went away while open (unplugged adapter, closed terminal). The port is
    // already closed when this is emitted, and it is emitted once per loss.
    void deviceLost(const QString& device, const QString& reason);
    void replyDelayLearnt();
};

} // namespace tarvex::link
