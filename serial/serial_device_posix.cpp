#include "serial/serial_device.h"

#include "line/line_settings.h"

#include <QSerialPort>

#include <cerrno>
#include <cstring>
#include <sys/file.h>
#include <utility>

namespace tarvex::link {
namespace {

QSerialPort::Parity parityOf(LineSettings::Parity parity)
{
    switch (parity) {
    case LineSettings::Parity::Odd:
        return QSerialPort::OddParity;
    case LineSettings::Parity::Even:
        return QSerialPort::EvenParity;
    case LineSettings::Parity::None:
        break;
    }
    return QSerialPort::NoParity;
}

QSerialPort::FlowControl flowControlOf(LineSettings::FlowControl flowControl)
{
    switch (flowControl) {
    case LineSettings::FlowControl::Hardware:
        return QSerialPort::HardwareControl;
    case LineSettings::FlowControl::Software:
        return QSerialPort::SoftwareControl;
    case LineSettings::FlowControl::None:
        break;
    }
    return QSerialPort::NoFlowControl;
}

void apply(const LineSettings& settings, QSerialPort& serial)
{
    serial.setBaudRate(qint32(settings.baudRate));
    serial.setDataBits(QSerialPort::DataBits(settings.dataBits));
    serial.setParity(parityOf(settings.parity));
    serial.setStopBits(settings.stopBits == LineSettings::StopBits::Two ? QSerialPort::TwoStop
                                                                        : QSerialPort::OneStop);
    serial.setFlowControl(flowControlOf(settings.flowControl));
}

} // namespace

class SerialDevice::Private
{
public:
    QSerialPort serial;
    bool permissionRefused = false;
    QString heldElsewhere;   // why the open device could not be claimed
    QByteArray keptFromLoss; // what arrived before the device went away, not yet read

    // Qt's lock file guards one name only, and a /dev/serial/by-id link and /dev/ttyUSB0 are
    // two names for one adapter: our programs also lock the open device itself. The advisory
    // lock goes away with the descriptor, even when the program is killed.
    bool claim()
    {
        if (::flock(int(serial.handle()), LOCK_EX | LOCK_NB) == 0)
            return true;
        heldElsewhere = errno == EWOULDBLOCK ? QStringLiteral("another program holds the device")
                                             : qt_error_string(errno);
        serial.close();
        return false;
    }
};

SerialDevice::SerialDevice(QObject* parent) : ByteLine(parent), d(std::make_unique<Private>())
{
    QSerialPort& serial = d->serial;
    apply(kUnitLine, serial);
    // A vanished device makes Qt report a read error over and over while the port stays open;
    // closing here turns that storm into a single report.
    connect(&serial, &QSerialPort::errorOccurred, this, [this](QSerialPort::SerialPortError error) {
        const bool gone = error == QSerialPort::ReadError || error == QSerialPort::WriteError ||
                          error == QSerialPort::ResourceError;
        if (!gone || !d->serial.isOpen())
            return;
        const QString systemText = d->serial.errorString();
        d->keptFromLoss = d->serial.readAll(); // closing drops what Qt holds
        d->serial.close();
        emit lost(systemText);
    });
}

SerialDevice::~SerialDevice()
{
    close();
}

bool SerialDevice::open(const QString& name)
{
    d->serial.setPortName(name);
    d->heldElsewhere.clear();
    d->keptFromLoss.clear();
    bool opened = d->serial.open(QIODevice::ReadWrite);
    d->permissionRefused = !opened && d->serial.error() == QSerialPort::PermissionError;
    if (opened && !d->claim()) {
        opened = false;
        d->permissionRefused = true; // as Qt reports a device whose lock file another holds
    }
    // Qt 6.4 keeps what arrived before the open; it would be read as the first reply.
    if (opened)
        d->serial.clear(QSerialPort::Input);
    return opened;
}

void SerialDevice::close()
{
    d->keptFromLoss.clear();
    if (d->serial.isOpen())
        d->serial.close();
}

bool SerialDevice::isOpen() const
{
    return d->serial.isOpen();
}

bool SerialDevice::write(const QByteArray& bytes)
{
    return d->serial.write(bytes) == bytes.size();
}

std::optional<QByteArray> SerialDevice::readAll()
{
    if (d->serial.isOpen())
        return d->serial.readAll();
    if (d->keptFromLoss.isEmpty())
        return std::nullopt;
    return std::exchange(d->keptFromLoss, QByteArray());
}

QString SerialDevice::errorString() const
{
    return d->heldElsewhere.isEmpty() ? d->serial.errorString() : d->heldElsewhere;
}

bool SerialDevice::openRefusedForPermission() const
{
    return d->permissionRefused;
}

// What a pseudo-terminal or USB adapter that went away leaves behind; none of it helps.
QString lossDetail(const QString& systemText)
{
    const QString text = systemText.trimmed();
    if (text.isEmpty() || text == QLatin1String("Unknown error"))
        return {};
    for (const int code : {ENOTTY, EIO, ENXIO, ENODEV, EBADF}) {
        if (text == QString::fromLocal8Bit(std::strerror(code)))
            return {};
    }
    return text;
}

} // namespace tarvex::link
