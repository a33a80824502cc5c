#pragma once

#include "line/byte_line.h"

#include <memory>

namespace tarvex::link {

// One serial device at the unit's fixed line settings (9600 baud, 8 data bits, no parity, 1 stop
// bit, no flow control): the part of the port that differs by system. Qt's serial port on POSIX;
// on Windows our own Win32 code, because Qt's waits for a receive event that Wine never reports
// on a COM port backed by a pseudo-terminal, and the exchange needs no such event: it reads
// what has arrived when its wait ends.
class SerialDevice : public ByteLine
{
    Q_OBJECT
public:
    explicit SerialDevice(QObject* parent = nullptr);
    ~SerialDevice() override;

    // name: a path, a name under /dev, or COMN.
    bool open(const QString& name);
    void close() override;
    bool isOpen() const override;
    bool write(const QByteArray& bytes) override;
    std::optional<QByteArray> readAll() override;
    QString errorString() const override;
    bool openRefusedForPermission() const override;

private:
    class Private;
    std::unique_ptr<Private> d;
};

// The system's text for a device that went away, or nothing when it says no more than that: a
// vanished device is often reported with a stale or unrelated error, in each system's own words.
QString lossDetail(const QString& systemText);

} // namespace tarvex::link
