#include "app/frm_main.h"

#include "app/message_box.h"
#include "app/message_edit.h"
#include "app/phone_edit.h"
#include "discovery/port_scan.h"
#include "link/link_errors.h"
#include "transfer/configuration_transfer.h"
#include "transfer/message_text.h"

#include <QApplication>
#include <QCheckBox>
#include <QCloseEvent>
#include <QComboBox>
#include <QGroupBox>
#include <QLabel>
#include <QPushButton>

namespace tarvex::app {

// Marks the window busy for one handler: the cursor says so, and a device loss seen meanwhile
// is reported once the handler is done, unless the handler has reported it already.
class frmMain::BusyScope
{
public:
    explicit BusyScope(frmMain& window) : window_(window)
    {
        window_.busy_ = true;
        QApplication::setOverrideCursor(Qt::BusyCursor);
    }
    ~BusyScope()
    {
        QApplication::restoreOverrideCursor();
        window_.busy_ = false;
        if (window_.lossPending_ && !window_.link_.isAborted())
            window_.reportLostLine(window_.cm.deviceName(), window_.cm.errorString());
    }
    BusyScope(const BusyScope&) = delete;
    BusyScope& operator=(const BusyScope&) = delete;

private:
    frmMain& window_;
};

frmMain::frmMain(link::PortMap ports, std::chrono::milliseconds replyWait, QWidget* parent)
    : QWidget(parent), cm(std::move(ports)), link_(cm, replyWait)
{
    buildControls(this, *this);
    wireEvents();
}

frmMain::~frmMain()
{
    link_.abort();
}

void frmMain::wireEvents()
{
    connect(cmdConnect, &QPushButton::clicked, this, &frmMain::cmdConnect_Click);
    connect(cmdUpLoad, &QPushButton::clicked, this, &frmMain::cmdUpLoad_Click);
    connect(cmdDownLoad, &QPushButton::clicked, this, &frmMain::cmdDownLoad_Click);
    for (int index = 0; index < int(cmdEdit.size()); ++index)
        connect(cmdEdit[index], &QPushButton::clicked, this,
                [this, index] { cmdEdit_Click(index); });
    connect(cmdOK, &QPushButton::clicked, this, &frmMain::cmdOK_Click);
    connect(cmdCancel, &QPushButton::clicked, this, &frmMain::cmdCancel_Click);
    connect(txtEdit, &MessageEdit::textChanged, this, &frmMain::txtEdit_Change);
    // Queued, so a loss is never reported from inside the port's own error signal.
    connect(&cm, &link::Port::deviceLost, this, &frmMain::onDeviceLost, Qt::QueuedConnection);
}

void frmMain::closeEvent(QCloseEvent* event)
{
    // Ends a pending wait at once; its handler then stops without touching anything.
    link_.abort();
    event->accept();
}

void frmMain::cmdConnect_Click()
{
    if (busy_)
        return;
    lblConn->setText(QStringLiteral("Connecting..."));
    lblConn->repaint(); // the first pass processes no events
    Connect();
}

void frmMain::Connect()
{
    if (busy_)
        return;
    discovery::ScanResult result;
    {
        BusyScope busy(*this);
        try {
            result = discovery::Connect(link_);
        } catch (const link::LinkAborted&) {
            return;
        }
        lossPending_ = false; // the scan passes over every failure of the ports it tries
    }
    showScanResult(result.found, discovery::identityCaption(result),
                   discovery::permissionHint(result.refusedForPermission));
}

void frmMain::showScanResult(bool found, const QString& caption, const QString& hint)
{
    lblConn->setText(found ? caption : QStringLiteral("Device not Found!"));
    lblConn->setToolTip(found ? QString() : hint);
    cmdUpLoad->setEnabled(found);
    cmdDownLoad->setEnabled(found);
}

void frmMain::cmdUpLoad_Click()
{
    runExchange([this] {
        transfer::readConfiguration(link_, *this);
        Frame2->setEnabled(true);
    });
}

void frmMain::cmdDownLoad_Click()
{
    runExchange([this] { transfer::writeConfiguration(link_, *this); });
}

void frmMain::cmdEdit_Click(int index)
{
    runExchange([this, index] { openEditor(index, transfer::readMessage(link_, index)); });
}

void frmMain::cmdOK_Click()
{
    // A failed save leaves the editor open, so the operator's text is not lost.
    runExchange([this] {
        if (!transfer::saveMessage(link_, intEditSlot, txtEdit->messageText())) {
            warn(QStringLiteral("Message"),
                 QStringLiteral("The message holds a character the unit cannot take."));
            return;
        }
        closeEditor();
    });
}

void frmMain::cmdCancel_Click()
{
    if (!busy_)
        closeEditor();
}

void frmMain::txtEdit_Change()
{
    lblChars->setText(QStringLiteral("Chars: %1/80").arg(txtEdit->wireLength()));
}

bool frmMain::runExchange(const std::function<void()>& work)
{
    if (busy_)
        return false;
    BusyScope busy(*this);
    try {
        work();
        return true;
    } catch (const link::LinkError& error) {
        reportLostLine(error.device(), error.reason());
    } catch (const link::LinkAborted&) {
    }
    return false;
}

void frmMain::openEditor(int slot, const QString& text)
{
    txtEdit->setPlainText(text);
    lblMsgNo->setText(QStringLiteral("Edit Message No.%1").arg(slot + 1));
    intEditSlot = slot;
    txtEdit->setEnabled(true);
    cmdOK->setEnabled(true);
    cmdCancel->setEnabled(true);
    FrameEdit->setEnabled(false);
    txtEdit->setFocus(); // the pressed Edit button has just become inert
}

void frmMain::closeEditor()
{
    lblMsgNo->clear();
    txtEdit->setEnabled(false);
    txtEdit->clear();
    cmdOK->setEnabled(false);
    cmdCancel->setEnabled(false);
    FrameEdit->setEnabled(true);
}

void frmMain::onDeviceLost(const QString& device, const QString& reason)
{
    if (busy_)
        lossPending_ = true;
    else if (cmdUpLoad->isEnabled())
        reportLostLine(device, reason);
}

void frmMain::reportLostLine(const QString& device, const QString& reason)
{
    lossPending_ = false;
    if (cm.IsOpen())
        cm.SetOpen(false);
    lblConn->setText(QStringLiteral("Not Connected"));
    cmdUpLoad->setEnabled(false);
    cmdDownLoad->setEnabled(false);
    message_box::show(
        this, message_box::Icon::Exclamation, QStringLiteral("Connection"),
        QStringLiteral("The connection to the unit was lost.\n%1: %2").arg(device, reason));
}

int frmMain::phoneCount() const
{
    return cmbNumPhones->currentIndex();
}

void frmMain::setPhoneCount(int count)
{
    cmbNumPhones->setCurrentIndex(count);
}

QString frmMain::phoneNumber(int slot) const
{
    return txtPhone[slot]->text();
}

void frmMain::setPhoneNumber(int slot, const QString& number)
{
    txtPhone[slot]->setText(number);
}

protocol::EventMask frmMain::eventFlags() const
{
    protocol::EventMask flags{};
    for (int index = 0; index < 4; ++index) {
        flags[index] = Check1[index]->isChecked();
        flags[index + 4] = Check2[index]->isChecked();
    }
    return flags;
}

void frmMain::setEventFlags(const protocol::EventMask& flags)
{
    for (int index = 0; index < 4; ++index) {
        Check1[index]->setChecked(flags[index]);
        Check2[index]->setChecked(flags[index + 4]);
    }
}

void frmMain::warn(const QString& title, const QString& text)
{
    message_box::show(this, message_box::Icon::Exclamation, title, text);
}

void frmMain::inform(const QString& title, const QString& text)
{
    message_box::show(this, message_box::Icon::Information, title, text);
}

} // namespace tarvex::app
