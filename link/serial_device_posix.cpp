#include "link/serial_device.h"

#include <QSerialPort>

namespace tarvex::link {

class SerialDevice::Private
{
public:
    QSerialPort serial;
    bool permissionRefused = false;
};

SerialDevice::SerialDevice(QObject* parent) : QObject(parent), d(std::make_unique<Private>())
{
    QSerialPort& serial = d->serial;
    serial.setBaudRate(QSerialPort::Baud9600);
    serial.setDataBits(QSerialPort::Data8);
    serial.setParity(QSerialPort::NoParity);
    serial.setStopBits(QSerialPort::OneStop);
    serial.setFlowControl(QSerialPort::NoFlowControl);
    // A vanished device makes Qt report a read error over and over while the port stays open;
    // closing here turns that storm into a single report.
    connect(&serial, &QSerialPort::errorOccurred, this, [this](QSerialPort::SerialPortError error) {
        const bool gone = error == QSerialPort::ReadError || error == QSerialPort::WriteError ||
                          error == QSerialPort::ResourceError;
        if (!gone || !d->serial.isOpen())
            return;
        const QString systemText = d->serial.errorString();
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
    const bool opened = d->serial.open(QIODevice::ReadWrite);
    d->permissionRefused = !opened && d->serial.error() == QSerialPort::PermissionError;
    // Qt 6.4 keeps what arrived before the open; it would be read as the first reply.
    if (opened)
        d->serial.clear(QSerialPort::Input);
    return opened;
}

void SerialDevice::close()
{
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
    if (!d->serial.isOpen())
        return std::nullopt;
    return d->serial.readAll();
}

QString SerialDevice::errorString() const
{
    return d->serial.errorString();
}

bool SerialDevice::openRefusedForPermission() const
{
    return d->permissionRefused;
}

} // namespace tarvex::link
