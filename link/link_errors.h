#pragma once

#include <QString>

#include <stdexcept>

namespace tarvex::link {

// The line to the unit failed during an exchange: the device went away, or a write or read
// was refused. Caught at the top of each handler that talks to the unit.
class LinkError : public std::runtime_error
{
public:
    LinkError(QString device, QString reason, bool lineSent = false)
        : std::runtime_error("serial link failed"), device_(std::move(device)),
          reason_(std::move(reason)), lineSent_(lineSent)
    {}
    const QString& device() const { return device_; }
    const QString& reason() const { return reason_; }
    // The line had gone out when the exchange failed: the unit may have taken it unanswered.
    bool lineSent() const { return lineSent_; }

private:
    QString device_;
    QString reason_;
    bool lineSent_;
};

// The program is closing: the waiting handler must stop and touch nothing more.
class LinkAborted : public std::runtime_error
{
public:
    LinkAborted() : std::runtime_error("exchange abandoned") {}
};

} // namespace tarvex::link
