#pragma once

#include "discovery/port_scan.h"
#include "link/link.h"
#include "link/port_map.h"
#include "link/serial_port.h"

#include <QObject>
#include <QString>

#include <chrono>
#include <functional>
#include <memory>
#include <optional>

namespace tarvex::discovery {

// The connection to the unit: the port `cm` and its link, whether a unit is connected, and the
// one sequence of exchanges that may run at a time. A lost line is reported once, through
// lineLost, whoever notices it first: the port's own error, a failed exchange, or a loss while
// a sequence (or a message box it shows) is still running. The window only wires clicks to it
// and its signals to controls.
class Connection : public QObject
{
    Q_OBJECT
public:
    enum class Outcome { Done, Refused, Failed, Aborted };
    using Sequence = std::function<void(link::Link&)>;

    explicit Connection(link::PortMap ports, std::chrono::milliseconds replyWait = link::kReplyWait,
                        QObject* parent = nullptr);
    // Over another port (a test's double).
    Connection(std::unique_ptr<link::Port> port, std::chrono::milliseconds replyWait,
               QObject* parent = nullptr);
    ~Connection() override;

    link::Link& exchange() { return link_; }
    bool isConnected() const { return connected_; }
    bool isBusy() const { return busy_; }

    // The port scan; nothing when refused (another sequence runs) or abandoned.
    std::optional<ScanResult> scan();

    // Runs sequence as the one talking to the unit. A failed exchange ends it and is reported
    // through lineLost before this returns.
    Outcome run(const Sequence& sequence);

    // The program is closing: the running wait ends at once and nothing more is reported.
    void abort() { link_.abort(); }

signals:
    void busyChanged(bool busy);
    void lineLost(const QString& device, const QString& reason);

private:
    class BusyScope;

    void onDeviceLost(const QString& device, const QString& reason);
    void loseLine(const QString& device, const QString& reason);

    std::unique_ptr<link::Port> port_;
    link::Port& cm;
    link::Link link_;
    bool busy_ = false;
    bool connected_ = false;
    bool lossPending_ = false; // the device went away while a sequence was running
};

} // namespace tarvex::discovery
