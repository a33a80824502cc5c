#include "discovery/connection.h"

#include "link/link_errors.h"

namespace tarvex::discovery {

// Marks the connection busy for one sequence, whatever way the sequence ends.
class Connection::BusyScope
{
public:
    explicit BusyScope(Connection& connection) : connection_(connection)
    {
        connection_.busy_ = true;
        emit connection_.busyChanged(true);
    }
    ~BusyScope()
    {
        connection_.busy_ = false;
        emit connection_.busyChanged(false);
    }
    BusyScope(const BusyScope&) = delete;
    BusyScope& operator=(const BusyScope&) = delete;

private:
    Connection& connection_;
};

Connection::Connection(link::PortMap ports, std::chrono::milliseconds replyWait, QObject* parent)
    : Connection(std::make_unique<link::SerialPort>(std::move(ports)), replyWait, parent)
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

std::optional<ScanResult> Connection::scan()
{
    if (busy_)
        return std::nullopt;
    connected_ = false;
    ScanResult result;
    {
        BusyScope busy(*this);
        try {
            result = Connect(link_);
        } catch (const link::LinkAborted&) {
            return std::nullopt;
        }
    }
    lossPending_ = false; // the scan passes over every failure of the ports it tries
    connected_ = result.found;
    return result;
}

Connection::Outcome Connection::run(const Sequence& sequence)
{
    if (busy_)
        return Outcome::Refused;
    Outcome outcome = Outcome::Done;
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
    return outcome;
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
    emit lineLost(device, reason);
}

} // namespace tarvex::discovery
