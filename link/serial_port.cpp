#include "link/serial_port.h"

#include "link/device_lock.h"

#include <algorithm>
#include <cerrno>
#include <cstring>

namespace tarvex::link {
namespace {
// The unit takes one byte per character. The port checks this itself, so that the link needs
// nothing of the protocol; the protocol refuses the same texts earlier, with its own reasons.
bool encodesInLatin1(const QString& text)
{
    return std::all_of(text.cbegin(), text.cend(), [](QChar c) { return c.unicode() <= 0xFF; });
}
} // namespace

QString deviceLostReason(const QString& systemText)
{
    static const QString kGone = QStringLiteral("the device was removed or stopped answering");
    // What a pseudo-terminal or USB adapter that went away leaves behind; none of it helps.
    const QList<QString> sayNothingMore{QString(),
                                        QStringLiteral("Unknown error"),
                                        QString::fromLocal8Bit(std::strerror(ENOTTY)),
                                        QString::fromLocal8Bit(std::strerror(EIO)),
                                        QString::fromLocal8Bit(std::strerror(ENXIO)),
                                        QString::fromLocal8Bit(std::strerror(ENODEV)),
                                        QString::fromLocal8Bit(std::strerror(EBADF))};
    if (sayNothingMore.contains(systemText.trimmed()))
        return kGone;
    return QStringLiteral("%1 (%2)").arg(kGone, systemText);
}

SerialPort::SerialPort(PortMap map, QObject* parent) : Port(parent), map_(std::move(map))
{
    serial_.setBaudRate(QSerialPort::Baud9600);
    serial_.setDataBits(QSerialPort::Data8);
    serial_.setParity(QSerialPort::NoParity);
    serial_.setStopBits(QSerialPort::OneStop);
    serial_.setFlowControl(QSerialPort::NoFlowControl);
    connect(&serial_, &QSerialPort::errorOccurred, this, &SerialPort::onErrorOccurred);
}

SerialPort::~SerialPort()
{
    if (serial_.isOpen())
        serial_.close();
}

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
    serial_.setPortName(device);
    if (!serial_.open(QIODevice::ReadWrite)) {
        permissionRefused_ = serial_.error() == QSerialPort::PermissionError;
        return fail(serial_.errorString());
    }
    if (const auto held = lockOpenDevice(serial_.handle())) {
        serial_.close();
        permissionRefused_ = true; // as Qt reports a device whose lock file another holds
        return fail(*held);
    }
    // Bytes sent before the open would otherwise be read as the first reply.
    serial_.clear(QSerialPort::Input);
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
    if (serial_.write(bytes) != bytes.size()) // a lost device has closed the port meanwhile
        return serial_.isOpen() ? fail(serial_.errorString()) : failClosed();
    return true;
}

std::optional<QString> SerialPort::ReadAll()
{
    if (!serial_.isOpen()) {
        failClosed();
        return std::nullopt;
    }
    return QString::fromLatin1(serial_.readAll());
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

bool SerialPort::failClosed()
{
    return fail(lossReason_.isEmpty() ? QStringLiteral("The port is not open") : lossReason_);
}

// A vanished device makes Qt report a read error over and over while the port stays open;
// closing here turns that storm into a single report.
void SerialPort::onErrorOccurred(QSerialPort::SerialPortError error)
{
    const bool lost = error == QSerialPort::ReadError || error == QSerialPort::WriteError ||
                      error == QSerialPort::ResourceError;
    if (!lost || !serial_.isOpen())
        return;
    lossReason_ = deviceLostReason(serial_.errorString());
    error_ = lossReason_;
    const QString device = deviceName();
    serial_.close();
    emit deviceLost(device, lossReason_);
}

} // namespace tarvex::link
