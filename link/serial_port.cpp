#include "link/serial_port.h"

namespace tarvex::link {

QString deviceLostReason(const QString& systemText)
{
    static const QString kGone = QStringLiteral("the device was removed or stopped answering");
    const QString detail = lossDetail(systemText);
    return detail.isEmpty() ? kGone : QStringLiteral("%1 (%2)").arg(kGone, detail);
}

SerialPort::SerialPort(PortMap map, QObject* parent) : Port(parent), map_(std::move(map))
{
    connect(&serial_, &SerialDevice::lost, this, &SerialPort::onLost);
}

SerialPort::~SerialPort() = default;

bool SerialPort::SetPortNumber(int number)
{
    if (serial_.isOpen())
        return fail(QStringLiteral("The port number cannot change while the port is open"));
    if (number < kFirstPortNumber || number > kLastPortNumber)
        return fail(QStringLiteral("There is no port number %1").arg(number));
    number_ = number;
    return true;
}

bool SerialPort::SetOpen(bool open)
{
    return open ? this->open() : close();
}

bool SerialPort::open()
{
    permissionRefused_ = false;
    if (serial_.isOpen())
        return fail(QStringLiteral("The port is already open"));
    const QString device = map_.deviceFor(number_);
    if (device.isEmpty())
        return fail(QStringLiteral("Port %1 has no device").arg(number_));
    if (!serial_.open(device)) {
        permissionRefused_ = serial_.openRefusedForPermission();
        return fail(serial_.errorString());
    }
    lossReason_.clear();
    return true;
}

bool SerialPort::close()
{
    if (!serial_.isOpen())
        return failClosed();
    serial_.close();
    return true;
}

bool SerialPort::IsOpen() const
{
    return serial_.isOpen();
}

bool SerialPort::WriteText(const QString& text)
{
    if (!serial_.isOpen())
        return failClosed();
    // The unit takes one byte per character; a character that does not encode would go out
    // as "?" without a word.
    if (!encodesInLatin1(text))
        return fail(QStringLiteral("The text holds a character the unit cannot take"));
    const QByteArray bytes = text.toLatin1();
    if (!serial_.write(bytes))
        return failOnDevice();
    return true;
}

std::optional<QString> SerialPort::ReadAll()
{
    if (!serial_.isOpen()) {
        failClosed();
        return std::nullopt;
    }
    const std::optional<QByteArray> bytes = serial_.readAll();
    if (!bytes) {
        failOnDevice();
        return std::nullopt;
    }
    return QString::fromLatin1(*bytes);
}

void SerialPort::refreshDevices()
{
    if (!serial_.isOpen())
        map_ = map_.refreshed();
}

QString SerialPort::deviceName() const
{
    const QString device = map_.deviceFor(number_);
    return device.isEmpty() ? QStringLiteral("port %1").arg(number_) : device;
}

bool SerialPort::fail(const QString& reason)
{
    error_ = reason;
    return false;
}

// A lost device has closed the port meanwhile, and its loss says more than the failure.
bool SerialPort::failOnDevice()
{
    return serial_.isOpen() ? fail(serial_.errorString()) : failClosed();
}

bool SerialPort::failClosed()
{
    return fail(lossReason_.isEmpty() ? QStringLiteral("The port is not open") : lossReason_);
}

void SerialPort::onLost(const QString& systemText)
{
    lossReason_ = deviceLostReason(systemText);
    error_ = lossReason_;
    emit deviceLost(deviceName(), lossReason_);
}

} // namespace tarvex::link
