#include "support/scripted_unit.h"

#include <QSocketNotifier>

#include <cerrno>
#include <cstdlib>
#include <fcntl.h>
#include <termios.h>
#include <unistd.h>

ScriptedUnit::ScriptedUnit() = default;

ScriptedUnit::~ScriptedUnit()
{
    hangUp();
}

bool ScriptedUnit::start()
{
    master_ = posix_openpt(O_RDWR | O_NOCTTY | O_NONBLOCK);
    if (master_ < 0 || grantpt(master_) != 0 || unlockpt(master_) != 0)
        return false;
    devicePath_ = QString::fromLocal8Bit(ptsname(master_));
    // Held open so the master never reads as hung up before the program opens the device.
    slave_ = ::open(ptsname(master_), O_RDWR | O_NOCTTY);
    termios settings{};
    if (slave_ < 0 || tcgetattr(slave_, &settings) != 0)
        return false;
    cfmakeraw(&settings);
    cfsetspeed(&settings, B9600);
    tcsetattr(slave_, TCSANOW, &settings);
    notifier_ = new QSocketNotifier(master_, QSocketNotifier::Read, this);
    connect(notifier_, &QSocketNotifier::activated, this, &ScriptedUnit::onReadable);
    return true;
}

void ScriptedUnit::hangUp()
{
    delete notifier_;
    notifier_ = nullptr;
    for (int* fd : {&slave_, &master_}) {
        if (*fd >= 0)
            ::close(*fd);
        *fd = -1;
    }
}

void ScriptedUnit::sendUnasked(const QByteArray& bytes)
{
    [[maybe_unused]] const ssize_t written = ::write(master_, bytes.constData(), bytes.size());
}

void ScriptedUnit::onReadable()
{
    char buffer[256];
    const ssize_t count = ::read(master_, buffer, sizeof buffer);
    if (count <= 0)
        return;
    received_.append(buffer, count);
    pending_.append(buffer, count);
    answerCompleteLines();
}

void ScriptedUnit::answerCompleteLines()
{
    for (;;) {
        const bool messageWrite = pending_.startsWith("&M");
        const QByteArray end = messageWrite ? QByteArray("\0\r", 2) : QByteArray("\r");
        const qsizetype at = pending_.indexOf(end);
        if (at < 0)
            return;
        const QByteArray line = pending_.left(at);
        pending_.remove(0, at + end.size());
        if (replies_.contains(line)) {
            const QByteArray reply = replies_.value(line);
            [[maybe_unused]] const ssize_t written =
                ::write(master_, reply.constData(), reply.size());
        }
    }
}
