#pragma once

#include "discovery/port_scan.h"
#include "link/line_port.h"
#include "link/link.h"
#include "link/port_map.h"

#include <QObject>
#include <QString>

#include <chrono>
#include <functional>
#include <memory>
#include <optional>

namespace tarvex::session {

// The window's connection to the unit: the port `cm` and its link, what is known of the unit
// on it (connected, its identity, whether the values on screen were read from it since the
// scan found it), and the one sequence of exchanges that may run at a time. Whenever any of
// that changes, changed() says so; the window's controls and menus follow it. A lost line is
// reported once, through lineLost, whoever notices it first: the port's own error, a failed
// exchange, or a loss while a sequence (or a message box it shows) is still running.
class Connection : public QObject
{
    Q_OBJECT
public:
    enum class Outcome { Done, Refused, Failed, Aborted };
    using Sequence = std::function<void(link::Link&)>;

    explicit Connection(link::PortMap ports, std::chrono::milliseconds replyWait = link::kReplyWait,
                        QObject* parent = nullptr);
    // Over another port (a test's double, the in-process units of --demo).
    Connection(std::unique_ptr<link::Port> port, std::chrono::milliseconds replyWait,
               QObject* parent = nullptr);
    ~Connection() override;

    link::Link& exchange() { return link_; }
    bool isConnected() const { return connected_; }
    bool isBusy() const { return busy_; }
    // The identity the last scan found ("KTX-210"); empty when it found none.
    const QString& identity() const { return identity_; }
    // Whether the values on screen were read from the unit since the scan found it.
    bool uploadedSinceScan() const { return uploadedSinceScan_; }

    // The one guard of whatever talks to the unit or relies on a sequence's state: calls start
    // unless a sequence runs. False when refused.
    bool whenIdle(const std::function<void()>& start);

    // The port scan, announced by scanStarted; nothing when refused or abandoned.
    std::optional<discovery::ScanResult> scan();

    // The unit at one named device instead of a scan (an address the operator typed): the
    // identify exchange on that line, then the same state as after a scan, announced by
    // scanStarted as well; nothing when refused or abandoned.
    std::optional<discovery::DeviceResult> connectTo(const link::DeviceName& device);

    // Runs sequence as the one talking to the unit. A failed exchange ends it and is reported
    // through lineLost before this returns.
    Outcome run(const Sequence& sequence);

    // A sequence that learned of a failed exchange as a value (the engine's outcome) reports it
    // here, as run() reports one thrown: at once, and once.
    void lineFailed(const QString& device, const QString& reason) { loseLine(device, reason); }

    // The values on screen are now the unit's: a later write needs no question.
    void noteUploaded();

    // The program is closing: the running wait ends at once, every later one too (aborting()
    // tells waits of other kinds), and nothing more is reported.
    void abort();
    bool isAborted() const { return link_.isAborted(); }

signals:
    void changed();
    void scanStarted();
    void lineLost(const QString& device, const QString& reason);
    void aborting();

private:
    class BusyScope;

    template <typename Result>
    std::optional<Result> search(const std::function<Result(link::Link&)>& find,
                                 const std::function<QString(const Result&)>& identityOf);
    void settle(bool found, const QString& identity);
    void onDeviceLost(const QString& device, const QString& reason);
    void loseLine(const QString& device, const QString& reason);

    std::unique_ptr<link::Port> port_;
    link::Port& cm;
    link::Link link_;
    bool busy_ = false;
    bool connected_ = false;
    bool lossPending_ = false; // the device went away while a sequence was running
    QString identity_;
    bool uploadedSinceScan_ = false;
};

} // namespace tarvex::session
