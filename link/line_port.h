#pragma once

#include "line/byte_line.h"
#include "link/port.h"
#include "link/port_map.h"

#include <memory>

namespace tarvex::link {

// Why a device went away, in a technician's words. The system's text follows only when it
// says more than that: a vanished device is often reported with a stale or unrelated error.
QString deviceLostReason(const QString& systemText);

// The program's one port: whichever port number is opened, it picks the line its device names,
// a serial device (serial/) at 9600 8N1 without flow control, or a network line (net/) to a
// terminal server, with the same numbering, checks, error texts and loss report. One byte per
// character (ISO 8859-1) both ways.
class LinePort : public Port
{
    Q_OBJECT
public:
    explicit LinePort(PortMap map, QObject* parent = nullptr);
    ~LinePort() override;

    bool SetPortNumber(int number) override;
    bool SetDevice(const DeviceName& device) override;
    bool SetOpen(bool open) override;
    bool IsOpen() const override;
    bool WriteText(const QString& text) override;
    std::optional<QString> ReadAll() override;
    void refreshDevices() override;

    int portNumber() const override { return number_; }
    QString deviceName() const override;
    QString errorString() const override { return error_; }
    bool openRefusedForPermission() const override { return permissionRefused_; }
    bool openRefusedAsHeld() const override { return heldElsewhere_; }
    bool speaksOtherProtocol() const override { return otherProtocol_; }
    std::optional<LineAddress> networkAddress() const override;
    std::chrono::milliseconds replyDelay() const override;
    QString replyDelaySource() const override;
    bool replyDelayPending() const override { return isOpenLine() && line_->replyDelayPending(); }
    void abortWaits() override;

private:
    bool open();
    bool close();
    bool fail(const QString& reason);
    bool failClosed();
    bool failOnDevice();
    void onLost(const QString& systemText);

    bool isOpenLine() const { return line_ && line_->isOpen(); }
    DeviceName currentDevice() const;
    bool openLine(const DeviceName& device);
    template <typename Line> Line& lineOfKind();

    PortMap map_;
    std::unique_ptr<ByteLine> line_; // of the device last opened
    bool network_ = false;
    int number_ = kFirstPortNumber;
    DeviceName namedDevice_; // set by SetDevice, in place of number_'s; empty: number_'s
    QString error_;
    QString lossReason_; // why the device went away, until the next open
    bool permissionRefused_ = false;
    bool heldElsewhere_ = false;
    bool otherProtocol_ = false;
};

} // namespace tarvex::link
