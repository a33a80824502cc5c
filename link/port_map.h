#pragma once

#include "link/device_name.h"

#include <QMap>
#include <QString>
#include <QStringList>

#include <optional>

namespace tarvex::link {

inline constexpr int kFirstPortNumber = 1;
inline constexpr int kLastPortNumber = 255;

// Which device a port number stands for. On Windows number N is COMN. Elsewhere the numbers
// are the system's serial devices, USB adapters first, or exactly the pinned ones.
class PortMap
{
public:
    static PortMap system(); // numbered() on Windows, listed() elsewhere
    // Number N is COMN, for every number (what QSerialPortInfo lists only tells which exist).
    static PortMap numbered();
    // The numbers handed out to the devices QSerialPortInfo lists, in systemOrder().
    static PortMap listed();
    static PortMap pinned(QMap<int, DeviceName> devices);
    // Reads "N=DEVICE" values as given with --port; nullopt and a reason when one is wrong
    // (a malformed network address among them) or a number is given twice.
    static std::optional<PortMap> fromPortOptions(const QStringList& values, QString* error);

    // The system's map listed afresh (a USB adapter may have been plugged in since); a pinned
    // map stays as it is.
    PortMap refreshed() const;

    // Empty when no device has that number.
    DeviceName deviceFor(int number) const;

    // The numbers that stand for a device, ascending; on Windows the COM ports the system
    // lists.
    QList<int> numbers() const;

    // The numbers a scan tries, ascending: numbers(), and on Windows every number, as the
    // window's Connect does. A COM port the system does not list may still open (a Wine
    // mapping, a driver that registers no port).
    QList<int> scanNumbers() const;

    // USB adapters (ttyUSB*, then ttyACM*) first, then the rest, each in natural order.
    static QStringList systemOrder(QStringList names);

private:
    enum class Kind { Numbered, Listed, Pinned };
    Kind kind_ = Kind::Pinned;
    QMap<int, DeviceName> devices_;
};

} // namespace tarvex::link
