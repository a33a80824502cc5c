#pragma once

#include "app/form_controls.h"
#include "link/link.h"
#include "link/port_map.h"
#include "link/serial_port.h"
#include "transfer/configuration_view.h"

#include <QWidget>

#include <chrono>
#include <functional>

namespace tarvex::app {

// The program's one window: the connection frame, the configuration frame with the message
// editor, and the branding. Handlers that talk to the unit run one at a time: while one
// waits for a reply, clicks that would start another exchange are refused.
class frmMain : public QWidget, public FormControls, private transfer::ConfigurationView
{
    Q_OBJECT
public:
    explicit frmMain(link::PortMap ports, std::chrono::milliseconds replyWait = link::kReplyWait,
                     QWidget* parent = nullptr);
    ~frmMain() override;

    link::Link& exchange() { return link_; }
    bool isBusy() const { return busy_; }

    // The port scan behind cmdConnect.
    void Connect();

    int intEditSlot = 0; // the message slot open in the editor

protected:
    void closeEvent(QCloseEvent* event) override;

private:
    class BusyScope;

    void wireEvents();
    void cmdConnect_Click();
    void cmdUpLoad_Click();
    void cmdDownLoad_Click();
    void cmdEdit_Click(int index);
    void cmdOK_Click();
    void cmdCancel_Click();
    void txtEdit_Change();

    // Runs work as the one handler talking to the unit; false if refused or failed.
    bool runExchange(const std::function<void()>& work);
    bool mayWriteUnreadValues();
    void openEditor(int slot, const QString& text);
    void closeEditor();
    void showScanResult(bool found, const QString& caption, const QString& hint);
    void onDeviceLost(const QString& device, const QString& reason);
    void reportLostLine(const QString& device, const QString& reason);

    // ConfigurationView over the controls.
    int phoneCount() const override;
    void setPhoneCount(int count) override;
    QString phoneNumber(int slot) const override;
    void setPhoneNumber(int slot, const QString& number) override;
    protocol::EventMask eventFlags() const override;
    void setEventFlags(const protocol::EventMask& flags) override;
    void warn(const QString& title, const QString& text) override;
    void inform(const QString& title, const QString& text) override;

    link::SerialPort cm;
    link::Link link_;
    bool busy_ = false;
    bool lossPending_ = false;       // the device went away while a handler was running
    bool uploadedSinceScan_ = false; // the values on screen are the unit's, or edits of them
};

} // namespace tarvex::app
