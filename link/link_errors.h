#pragma once

#include <QString>

#include <stdexcept>

namespace tarvex::link {

// The line to the unit failed during an exchange: the device went away, or a write or read
// was refused. Caught at the top of each handler that talks to the unit.
class LinkError : public std::runtime_error
{
public:
    LinkError(QString device, QString reason)
        : std::runtime_error("serial link failed"), device_(std::move(device)),
          reason_(std::move(reason))
    {}
    const QString& device() const { return device_; }
    const QString& reason() const { return reason_; }

private:
    QString device_;
    QString reason_;
};

// The program is closing: the waiting handler must stop and touch nothing more.
class LinkAborted : public std::runtime_error
{
public:
    LinkAborted() : std::runtime_error("exchange abandoned") {}
};

} // namespace tarvex::link
