#include "link/port_map.h"

#include "serial/system_ports.h"

#include <QSerialPortInfo>

#include <algorithm>

namespace tarvex::link {
namespace {

int groupOf(const QString& name)
{
    if (name.startsWith(QLatin1String("ttyUSB")))
        return 0;
    if (name.startsWith(QLatin1String("ttyACM")))
        return 1;
    return 2;
}

// Splits "ttyS10" into "ttyS" and 10 so that ttyS2 sorts before ttyS10.
std::pair<QString, qlonglong> splitTrailingNumber(const QString& name)
{
    qsizetype digitsFrom = name.size();
    while (digitsFrom > 0 && name.at(digitsFrom - 1).isDigit())
        --digitsFrom;
    const QString digits = name.mid(digitsFrom);
    return {name.left(digitsFrom), digits.isEmpty() ? -1 : digits.toLongLong()};
}

bool naturalLess(const QString& a, const QString& b)
{
    const auto [prefixA, numberA] = splitTrailingNumber(a);
    const auto [prefixB, numberB] = splitTrailingNumber(b);
    if (prefixA != prefixB)
        return prefixA < prefixB;
    if (numberA != numberB)
        return numberA < numberB;
    return a < b;
}

} // namespace

QStringList PortMap::systemOrder(QStringList names)
{
    std::sort(names.begin(), names.end(), [](const QString& a, const QString& b) {
        const int groupA = groupOf(a), groupB = groupOf(b);
        return groupA != groupB ? groupA < groupB : naturalLess(a, b);
    });
    return names;
}

PortMap PortMap::system()
{
    return systemPortNaming() == PortNaming::ByNumber ? numbered() : listed();
}

PortMap PortMap::numbered()
{
    PortMap map;
    map.kind_ = Kind::Numbered;
    return map;
}

PortMap PortMap::listed()
{
    PortMap map;
    map.kind_ = Kind::Listed;
    QStringList names;
    for (const QSerialPortInfo& info : QSerialPortInfo::availablePorts())
        names << info.portName();
    int number = kFirstPortNumber;
    for (const QString& name : systemOrder(names)) {
        if (number > kLastPortNumber)
            break;
        map.devices_.insert(number++, DeviceName::serial(name));
    }
    return map;
}

PortMap PortMap::pinned(QMap<int, DeviceName> devices)
{
    PortMap map;
    map.devices_ = std::move(devices);
    return map;
}

std::optional<PortMap> PortMap::fromPortOptions(const QStringList& values, QString* error)
{
    QMap<int, DeviceName> devices;
    for (const QString& value : values) {
        const qsizetype equals = value.indexOf(u'=');
        bool isNumber = false;
        const int number = equals > 0 ? value.left(equals).toInt(&isNumber) : 0;
        const QString device = equals > 0 ? value.mid(equals + 1) : QString();
        if (!isNumber || number < kFirstPortNumber || number > kLastPortNumber ||
            device.isEmpty()) {
            if (error)
                *error = QStringLiteral("--port takes N=DEVICE with N from %1 to %2, not \"%3\"")
                             .arg(kFirstPortNumber)
                             .arg(kLastPortNumber)
                             .arg(value);
            return std::nullopt;
        }
        QString wrongAddress;
        const std::optional<DeviceName> name = DeviceName::fromText(device, &wrongAddress);
        if (!name) {
            if (error)
                *error = QStringLiteral("--port %1: %2").arg(value, wrongAddress);
            return std::nullopt;
        }
        // A second device for a number would silently replace the first.
        if (devices.contains(number)) {
            if (error)
                *error = QStringLiteral("--port gives port number %1 twice (\"%1=%2\" and \"%3\")")
                             .arg(number)
                             .arg(devices.value(number).text(), value);
            return std::nullopt;
        }
        devices.insert(number, *name);
    }
    return pinned(devices);
}

PortMap PortMap::refreshed() const
{
    return kind_ == Kind::Listed ? listed() : *this;
}

DeviceName PortMap::deviceFor(int number) const
{
    if (number < kFirstPortNumber || number > kLastPortNumber)
        return {};
    if (kind_ == Kind::Numbered)
        return DeviceName::serial(QStringLiteral("COM%1").arg(number));
    return devices_.value(number);
}

QList<int> PortMap::numbers() const
{
    if (kind_ != Kind::Numbered)
        return devices_.keys();
    QList<int> numbers;
    for (const QSerialPortInfo& info : QSerialPortInfo::availablePorts()) {
        bool isNumber = false;
        const int number = info.portName().mid(3).toInt(&isNumber);
        if (info.portName().startsWith(QLatin1String("COM")) && isNumber &&
            number >= kFirstPortNumber && number <= kLastPortNumber)
            numbers << number;
    }
    std::sort(numbers.begin(), numbers.end());
    return numbers;
}

QList<int> PortMap::scanNumbers() const
{
    if (kind_ != Kind::Numbered)
        return numbers();
    QList<int> all;
    for (int number = kFirstPortNumber; number <= kLastPortNumber; ++number)
        all << number;
    return all;
}

} // namespace tarvex::link
