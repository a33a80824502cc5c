#pragma once

#include <QString>

#include <stdexcept>

namespace tarvex::provisioning {

// Why provisioning work ended early: a kind that each face turns into its own answer (the
// command line into an exit code, the window into a message box) and a message for people.
class Failure : public std::runtime_error
{
public:
    enum class Kind {
        NoUnit,           // nothing answered as a unit does, or the device does not exist
        PortBusy,         // another program holds the port
        PermissionDenied, // the system refuses this user the port
        LineLost,         // an exchange failed: the device went away or refused a read or write
        NoAnswer,         // the unit stayed silent where a reply was due
        BadReply,         // the unit answered out of turn
        LateReply,        // over a network the reply came after its wait
        Unencodable,      // a value the unit cannot take got past validation: a fault of ours
        UnreadableFile,
        InvalidFile,
        UnwritableFile,
        NotVerified, // written twice, and the unit still holds other values
        Interrupted, // stopped on request after the exchange in flight
    };

    Failure(Kind kind, QString message, QString device = {})
        : std::runtime_error("provisioning failed"), kind_(kind), message_(std::move(message)),
          device_(std::move(device))
    {}

    Kind kind() const { return kind_; }
    const QString& message() const { return message_; }
    const QString& device() const { return device_; } // empty when no device was involved

private:
    Kind kind_;
    QString message_;
    QString device_;
};

// The one failure of a stop on request, wherever it is noticed: after the exchange in flight,
// or while connecting, before anything was sent.
Failure interrupted();
Failure interruptedConnecting();

} // namespace tarvex::provisioning
