#include "link/line_port.h"

#include "net/network_line.h"
#include "serial/serial_device.h"

#include <type_traits>

namespace tarvex::link {

QString deviceLostReason(const QString& systemText)
{
    static const QString kGone = QStringLiteral("the device was removed or stopped answering");
    const QString detail = lossDetail(systemText);
    return detail.isEmpty() ? kGone : QStringLiteral("%1 (%2)").arg(kGone, detail);
}

LinePort::LinePort(PortMap map, QObject* parent) : Port(parent), map_(std::move(map)) {}

LinePort::~LinePort() = default;

bool LinePort::SetPortNumber(int number)
{
    if (isOpenLine())
        return fail(QStringLiteral("The port number cannot change while the port is open"));
    if (number < kFirstPortNumber || number > kLastPortNumber)
        return fail(QStringLiteral("There is no port number %1").arg(number));
    number_ = number;
    namedDevice_ = {};
    return true;
}

bool LinePort::SetDevice(const DeviceName& device)
{
    if (isOpenLine())
        return fail(QStringLiteral("The device cannot change while the port is open"));
    if (device.isEmpty())
        return fail(QStringLiteral("No device is named"));
    namedDevice_ = device;
    return true;
}

DeviceName LinePort::currentDevice() const
{
    return namedDevice_.isEmpty() ? map_.deviceFor(number_) : namedDevice_;
}

bool LinePort::SetOpen(bool open)
{
    return open ? this->open() : close();
}

bool LinePort::open()
{
    permissionRefused_ = false;
    heldElsewhere_ = false;
    otherProtocol_ = false;
    if (isOpenLine())
        return fail(QStringLiteral("The port is already open"));
    const DeviceName device = currentDevice();
    if (device.isEmpty())
        return fail(QStringLiteral("Port %1 has no device").arg(number_));
    if (!openLine(device)) {
        permissionRefused_ = line_->openRefusedForPermission();
        heldElsewhere_ = line_->openRefusedAsHeld();
        otherProtocol_ = line_->speaksOtherProtocol();
        return fail(line_->errorString());
    }
    lossReason_.clear();
    return true;
}

// A network line when the device is an address, else a serial device.
bool LinePort::openLine(const DeviceName& device)
{
    if (const LineAddress* address = device.networkAddress())
        return lineOfKind<NetworkLine>().open(*address);
    return lineOfKind<SerialDevice>().open(device.text());
}

// The line of the last open while the kind stays, else a new one.
template <typename Line> Line& LinePort::lineOfKind()
{
    if (auto* line = qobject_cast<Line*>(line_.get()))
        return *line;
    auto made = std::make_unique<Line>();
    Line& line = *made;
    line_ = std::move(made);
    network_ = std::is_same_v<Line, NetworkLine>;
    connect(&line, &ByteLine::lost, this, &LinePort::onLost);
    connect(&line, &ByteLine::delayLearnt, this, &Port::replyDelayLearnt);
    return line;
}

bool LinePort::close()
{
    if (!isOpenLine())
        return failClosed();
    line_->close();
    return true;
}

bool LinePort::IsOpen() const
{
    return isOpenLine();
}

std::optional<LineAddress> LinePort::networkAddress() const
{
    const DeviceName device = currentDevice();
    if (const LineAddress* address = device.networkAddress())
        return *address;
    return std::nullopt;
}

std::chrono::milliseconds LinePort::replyDelay() const
{
    return isOpenLine() ? line_->replyDelay() : std::chrono::milliseconds{};
}

QString LinePort::replyDelaySource() const
{
    return isOpenLine() ? line_->replyDelaySource() : QString();
}

void LinePort::abortWaits()
{
    if (line_)
        line_->abortWaits();
}

bool LinePort::WriteText(const QString& text)
{
    if (!isOpenLine())
        return failClosed();
    // The unit takes one byte per character; a character that does not encode would go out
    // as "?" without a word.
    if (!encodesInLatin1(text))
        return fail(QStringLiteral("The text holds a character the unit cannot take"));
    const QByteArray bytes = text.toLatin1();
    if (!line_->write(bytes))
        return failOnDevice();
    return true;
}

// A line lost during the wait still gives what arrived before: a unit's answer that came just
// before the close is the reply, and the loss ends the next exchange.
std::optional<QString> LinePort::ReadAll()
{
    const std::optional<QByteArray> bytes = line_ ? line_->readAll() : std::nullopt;
    if (!bytes) {
        failOnDevice();
        return std::nullopt;
    }
    return QString::fromLatin1(*bytes);
}

void LinePort::refreshDevices()
{
    if (!isOpenLine())
        map_ = map_.refreshed();
}

QString LinePort::deviceName() const
{
    const DeviceName device = currentDevice();
    return device.isEmpty() ? QStringLiteral("port %1").arg(number_) : device.text();
}

bool LinePort::fail(const QString& reason)
{
    error_ = reason;
    return false;
}

// A lost device has closed the port meanwhile, and its loss says more than the failure.
bool LinePort::failOnDevice()
{
    return isOpenLine() ? fail(line_->errorString()) : failClosed();
}

bool LinePort::failClosed()
{
    return fail(lossReason_.isEmpty() ? QStringLiteral("The port is not open") : lossReason_);
}

void LinePort::onLost(const QString& systemText)
{
    // A network line words its loss itself; a vanished device's system text rarely helps.
    lossReason_ = network_ ? systemText : deviceLostReason(systemText);
    heldElsewhere_ = line_->openRefusedAsHeld();
    otherProtocol_ = line_->speaksOtherProtocol();
    error_ = lossReason_;
    emit deviceLost(deviceName(), lossReason_);
}

} // namespace tarvex::link
