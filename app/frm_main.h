#pragma once

#include "app/controls_view.h"
#include "app/form_controls.h"
#include "session/connection.h"

#include <QWidget>

#include <chrono>
#include <functional>
#include <memory>

namespace tarvex::app {

// The program's form, the central area of its window (MainWindow): the connection frame, the
// configuration frame with the message editor, and the branding. It also works as a window of
// its own, as the flow tests use it. The connection (session::Connection) owns the port and what
// is known of the unit; the window wires clicks to it, follows its changes in the controls and
// its reports in boxes, and lends the transfer code its controls through a ControlsView.
// Handlers that talk to the unit run one at a time: while one waits for a reply, clicks that
// would start another exchange are refused.
class frmMain : public QWidget
{
    Q_OBJECT
public:
    explicit frmMain(link::PortMap ports, std::chrono::milliseconds replyWait = link::kReplyWait,
                     QWidget* parent = nullptr);
    // Over a port of the caller's: the in-process units of --demo.
    explicit frmMain(std::unique_ptr<link::Port> port,
                     std::chrono::milliseconds replyWait = link::kReplyWait,
                     QWidget* parent = nullptr);

    link::Link& exchange() { return connection_.exchange(); }
    // The line and what is known of the unit, for sequences started from outside the form (the
    // File menu): run through it, they too run one at a time and report a lost line.
    session::Connection& session() { return connection_; }
    // The values on screen, for code that reads them from the unit or shows a file's values.
    ControlsView& view() { return view_; }
    // For tests: a const struct, so no control can be swapped; the controls themselves can be used.
    const FormControls& controls() const { return controls_; }

    // The port scan behind cmdConnect.
    void Connect();
    // The unit at one network address instead of a scan (File > Connect to Network Unit...).
    void ConnectTo(const link::DeviceName& device);

    int intEditSlot = 0; // the message slot open in the editor

protected:
    void closeEvent(QCloseEvent* event) override;

private:
    void wireEvents();
    void cmdConnect_Click();
    void cmdUpLoad_Click();
    void cmdDownLoad_Click();
    void cmdEdit_Click(int index);
    void cmdOK_Click();
    void cmdCancel_Click();
    void txtEdit_Change();

    // Runs work as the one handler talking to the unit; refused while another one runs, and a
    // lost line is reported by the connection.
    void runExchange(const std::function<void()>& work);
    // A click that starts nothing while a sequence runs.
    void onIdleClick(QPushButton* button, void (frmMain::*handler)());
    void followConnection();
    void showBusy(bool busy);
    bool mayWriteUnreadValues();
    void openEditor(int slot, const QString& text);
    void closeEditor();
    void showScanning();
    void showScanResult(bool found, const QString& caption, const QString& hint);
    void showLostLine(const QString& device, const QString& reason);

    FormControls controls_;
    ControlsView view_{controls_, this}; // the values on screen, for the transfer code
    session::Connection connection_;
    bool busyShown_ = false;
};

} // namespace tarvex::app
