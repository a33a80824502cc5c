#include "fake_port.h"

#include <QTimer>

bool FakePort::fail(const QString& reason)
{
    error_ = reason;
    return false;
}

bool FakePort::SetPortNumber(int number)
{
    numbersAsked << number;
    if (open_ || number < 1 || number > 255)
        return fail(QStringLiteral("refused"));
    number_ = number;
    return true;
}

bool FakePort::SetOpen(bool open)
{
    if (!open) {
        if (!open_)
            return fail(QStringLiteral("not open"));
        open_ = false;
        buffer_.clear();
        return true;
    }
    openAttempts << number_;
    permissionRefused_ = false;
    if (open_ || !devices_.contains(number_) || !devices_[number_].exists)
        return fail(QStringLiteral("no such device"));
    Device& device = devices_[number_];
    if (device.permissionDenied) {
        permissionRefused_ = true;
        return fail(QStringLiteral("permission denied"));
    }
    if (device.opensLeft == 0)
        return fail(QStringLiteral("busy"));
    if (device.opensLeft > 0)
        --device.opensLeft;
    open_ = true;
    return true;
}

bool FakePort::WriteText(const QString& text)
{
    if (!open_)
        return fail(QStringLiteral("not open"));
    written[number_] << text;
    const Device& device = devices_[number_];
    if (device.answer) {
        const int number = number_;
        const QString answer = *device.answer;
        // Arrives later like real bytes, and only on the port that asked, if still open.
        QTimer::singleShot(device.answerAfterMs, this, [this, number, answer] {
            if (open_ && number_ == number)
                buffer_ += answer;
        });
    }
    return !device.writeFails || fail(QStringLiteral("write failed"));
}

std::optional<QString> FakePort::ReadAll()
{
    if (!open_) {
        fail(QStringLiteral("not open"));
        return std::nullopt;
    }
    return std::exchange(buffer_, QString());
}
