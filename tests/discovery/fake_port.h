#pragma once

#include "link/port.h"

#include <QMap>
#include <QStringList>

#include <optional>

// An in-memory stand-in for the serial port, with scripted devices behind port numbers, that
// records what a scan did to each of them.
class FakePort : public tarvex::link::Port
{
    Q_OBJECT
public:
    struct Device
    {
        std::optional<QString> answer; // what it says to any line; none: silent
        int answerAfterMs = 0;         // 0 answers at once
        int opensLeft = -1;            // how many more opens succeed; -1: always
        bool permissionDenied = false;
        bool exists = true;
        bool writeFails = false; // the line goes out, yet the port reports a failed write
    };

    Device& device(int number) { return devices_[number]; }

    bool SetPortNumber(int number) override;
    bool SetOpen(bool open) override;
    bool IsOpen() const override { return open_; }
    bool WriteText(const QString& text) override;
    std::optional<QString> ReadAll() override;
    int portNumber() const override { return number_; }
    QString deviceName() const override { return QStringLiteral("fake%1").arg(number_); }
    QString errorString() const override { return error_; }
    bool openRefusedForPermission() const override { return permissionRefused_; }

    QList<int> numbersAsked;        // every number set, refused ones included
    QList<int> openAttempts;        // every number an open was tried on
    QMap<int, QStringList> written; // what was written, by number

private:
    bool fail(const QString& reason);

    QMap<int, Device> devices_;
    int number_ = 1;
    bool open_ = false;
    bool permissionRefused_ = false;
    QString buffer_;
    QString error_;
};
