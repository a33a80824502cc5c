#include "session/connection.h"

#include "link/link_errors.h"
#include "protocol/replies.h"

namespace tarvex::session {

// Marks the connection busy for one sequence, whatever way the sequence ends.
class Connection::BusyScope
{
public:
    explicit BusyScope(Connection& connection) : connection_(connection)
    {
        connection_.busy_ = true;
        emit connection_.changed();
    }
    ~BusyScope()
    {
        connection_.busy_ = false;
        emit connection_.changed();
    }
    BusyScope(const BusyScope&) = delete;
    BusyScope& operator=(const BusyScope&) = delete;

private:
    Connection& connection_;
};

Connection::Connection(link::PortMap ports, std::chrono::milliseconds replyWait, QObject* parent)
    : Connection(std::make_unique<link::LinePort>(std::move(ports)), replyWait, parent)
{}

Connection::Connection(std::unique_ptr<link::Port> port, std::chrono::milliseconds replyWait,
                       QObject* parent)
    : QObject(parent), port_(std::move(port)), cm(*port_), link_(cm, replyWait)
{
    // Queued, so a loss is never reported from inside the port's own error signal.
    connect(&cm, &link::Port::deviceLost, this, &Connection::onDeviceLost, Qt::QueuedConnection);
}

Connection::~Connection()
{
    link_.abort();
}

bool Connection::whenIdle(const std::function<void()>& start)
{
    if (busy_)
        return false;
    start();
    return true;
}

// A search for the unit, a scan or one named device: announced, busy while it runs, and what it
// found is then what the window shows. Nothing when refused or abandoned.
template <typename Result>
std::optional<Result> Connection::search(const std::function<Result(link::Link&)>& find,
                                         const std::function<QString(const Result&)>& identityOf)
{
    std::optional<Result> result;
    whenIdle([&] {
        emit scanStarted();
        {
            BusyScope busy(*this);
            try {
                result = find(link_);
            } catch (const link::LinkAborted&) {
                return;
            }
        }
        settle(result->found, result->found ? identityOf(*result) : QString());
    });
    return result;
}

std::optional<discovery::ScanResult> Connection::scan()
{
    return search<discovery::ScanResult>(discovery::Connect, discovery::identityCaption);
}

std::optional<discovery::DeviceResult> Connection::connectTo(const link::DeviceName& device)
{
    return search<discovery::DeviceResult>(
        [&device](link::Link& link) { return discovery::identifyAt(link, device); },
        [](const discovery::DeviceResult& found) { return protocol::identityShown(found.reply); });
}

// What a scan or a connect to one device found is now what the window shows.
void Connection::settle(bool found, const QString& identity)
{
    lossPending_ = false; // the search passes over every failure of the lines it tries
    connected_ = found;
    identity_ = identity;
    uploadedSinceScan_ = false;
    emit changed();
}

Connection::Outcome Connection::run(const Sequence& sequence)
{
    Outcome outcome = Outcome::Refused;
    whenIdle([&] {
        outcome = Outcome::Done;
        {
            BusyScope busy(*this);
            try {
                sequence(link_);
            } catch (const link::LinkError& error) {
                outcome = Outcome::Failed;
                loseLine(error.device(), error.reason());
            } catch (const link::LinkAborted&) {
                outcome = Outcome::Aborted;
            }
        }
        // A loss the failed exchange has reported already is the same loss.
        if (lossPending_ && connected_ && !link_.isAborted())
            loseLine(cm.deviceName(), cm.errorString());
        lossPending_ = false;
    });
    return outcome;
}

void Connection::noteUploaded()
{
    uploadedSinceScan_ = true;
    emit changed();
}

void Connection::abort()
{
    link_.abort();
    emit aborting();
}

void Connection::onDeviceLost(const QString& device, const QString& reason)
{
    if (busy_)
        lossPending_ = true;
    else if (connected_)
        loseLine(device, reason);
}

// Every exchange that fails is reported, even when no unit was connected, so that the
// operator learns why the click did nothing; the port's own report comes only while connected.
void Connection::loseLine(const QString& device, const QString& reason)
{
    lossPending_ = false;
    connected_ = false;
    if (cm.IsOpen())
        cm.SetOpen(false);
    emit changed();
    emit lineLost(device, reason);
}

} // namespace tarvex::session
