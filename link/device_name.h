#pragma once

#include "net/line_address.h"

#include <QString>

#include <optional>
#include <variant>

namespace tarvex::link {

// The device behind a port: a serial device by its path (a name under /dev, COMN on Windows),
// or a unit behind a terminal server by its network address. A name is read once, where it
// enters (the command line, the environment, a dialog); past that the port opens what this
// value says and only shows its text.
class DeviceName
{
public:
    DeviceName() = default; // no device
    static DeviceName serial(const QString& path);
    static DeviceName network(LineAddress address);
    // A name with a scheme ("tcp://...") is a network address and refused, with the reason,
    // when malformed; any other text names a serial device. The empty text names none.
    static std::optional<DeviceName> fromText(const QString& text, QString* reason);

    bool isEmpty() const { return text().isEmpty(); }
    // As given: for messages, results and the list of recent addresses.
    QString text() const;
    // The address of a network line; nullptr for a serial device.
    const LineAddress* networkAddress() const { return std::get_if<LineAddress>(&where_); }

private:
    std::variant<QString, LineAddress> where_;
};

} // namespace tarvex::link
