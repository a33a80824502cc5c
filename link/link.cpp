#include "link/link.h"

#include "link/link_errors.h"

#include <QEventLoop>

#include <algorithm>

namespace tarvex::link {
namespace {
// Distinct from the code a quitting application makes every loop return.
constexpr int kTickCode = 1;
constexpr int kAbortCode = 2;
} // namespace

Link::Link(Port& port, std::chrono::milliseconds replyWait, QObject* parent)
    : QObject(parent), cm(port), replyWait_(replyWait)
{
    tmrWait.setSingleShot(true);
    tmrWait.setTimerType(Qt::PreciseTimer);
    connect(&tmrWait, &QTimer::timeout, this, &Link::onTick);
}

// The port may already be gone: only the link's own wait ends.
Link::~Link()
{
    stopWaiting();
}

QString Link::SendAndWait(const QString& line)
{
    if (aborted_)
        throw LinkAborted();
    strCommand = line;
    if (!cm.WriteText(line))
        throw LinkError(cm.deviceName(), cm.errorString());
    if (!Wait())
        throw LinkAborted();
    const std::optional<QString> reply = cm.ReadAll();
    endExchange(line, reply);
    if (!reply)
        throw LinkError(cm.deviceName(), cm.errorString(), true);
    strReply = *reply;
    return strReply;
}

void Link::startScan()
{
    if (cm.IsOpen())
        cm.SetOpen(false);
    cm.refreshDevices();
}

Link::OpenTry Link::tryOpen(int number)
{
    cm.SetPortNumber(number);
    cm.SetOpen(true);
    const OpenTry result{cm.IsOpen(), cm.openRefusedForPermission(), cm.deviceName()};
    if (cm.IsOpen())
        cm.SetOpen(false);
    return result;
}

std::optional<QString> Link::Probe(int number, const QString& line,
                                   const std::function<bool(const QString&)>& matches)
{
    cm.SetPortNumber(number);
    const bool opened = cm.SetOpen(true);
    const bool wrote = cm.WriteText(line);
    // A failed open or write still waits its full time: the scan then takes the same time
    // whatever each port does, a port per wait, and a late reply cannot reach the next probe.
    if (!Wait()) {
        cm.SetOpen(false);
        throw LinkAborted();
    }
    const std::optional<QString> reply = cm.ReadAll();
    endExchange(line, reply);
    if (reply)
        strReply = *reply;
    // A reply that arrived just before the line went away is no port to stay on.
    const bool matched = opened && wrote && reply && cm.IsOpen() && matches(*reply);
    if (!matched) {
        cm.SetOpen(false);
        return std::nullopt;
    }
    return reply;
}

bool Link::Wait()
{
    if (aborted_)
        return false;
    waited_.start();
    emit waitStarted();
    if (!cm.replyDelayPending())
        return waitFor(waitUsed());
    // A line that times its delay by this reply waits for its first byte, then the reply wait.
    const QMetaObject::Connection learnt = connect(&cm, &Port::replyDelayLearnt, this, [this] {
        tmrWait.start(std::max(waitUsed() - std::chrono::milliseconds(waited_.elapsed()),
                               std::chrono::milliseconds(0)));
    });
    const bool waited = waitFor(kFirstReplyWithin);
    disconnect(learnt);
    return waited;
}

bool Link::Linger(std::chrono::milliseconds time)
{
    return !aborted_ && waitFor(time);
}

bool Link::waitFor(std::chrono::milliseconds time)
{
    Q_ASSERT_X(!loop_, "Link::Wait", "exchanges must not nest");
    blnTimeUp = false;
    tmrWait.start(time);
    QEventLoop loop;
    loop_ = &loop;
    const int code = loop.exec();
    loop_ = nullptr;
    if (code != kTickCode) {
        tmrWait.stop();
        aborted_ = true;
    }
    return !aborted_;
}

void Link::endExchange(const QString& line, const std::optional<QString>& reply)
{
    const double milliseconds = double(waited_.nsecsElapsed()) / 1e6;
    emit exchangeEnded({cm.deviceName(), line, reply.value_or(QString()), reply.has_value(),
                        milliseconds, replyWait_, cm.replyDelay(), cm.replyDelaySource()});
}

void Link::abort()
{
    cm.abortWaits();
    stopWaiting();
}

void Link::stopWaiting()
{
    aborted_ = true;
    tmrWait.stop();
    if (loop_)
        loop_->exit(kAbortCode);
}

void Link::onTick()
{
    blnTimeUp = true;
    tmrWait.stop();
    if (loop_)
        loop_->exit(kTickCode);
}

} // namespace tarvex::link
