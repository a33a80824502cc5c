#include "app/frm_main.h"

#include "app/message_box.h"
#include "app/message_edit.h"
#include "discovery/port_scan.h"
#include "transfer/configuration_transfer.h"
#include "transfer/message_text.h"

#include <QApplication>
#include <QCloseEvent>
#include <QGroupBox>
#include <QLabel>
#include <QPushButton>

namespace tarvex::app {

frmMain::frmMain(link::PortMap ports, std::chrono::milliseconds replyWait, QWidget* parent)
    : frmMain(std::make_unique<link::LinePort>(std::move(ports)), replyWait, parent)
{}

frmMain::frmMain(std::unique_ptr<link::Port> port, std::chrono::milliseconds replyWait,
                 QWidget* parent)
    : QWidget(parent), connection_(std::move(port), replyWait)
{
    buildControls(this, controls_);
    wireEvents();
}

void frmMain::wireEvents()
{
    connect(controls_.cmdConnect, &QPushButton::clicked, this, &frmMain::cmdConnect_Click);
    connect(controls_.cmdUpLoad, &QPushButton::clicked, this, &frmMain::cmdUpLoad_Click);
    onIdleClick(controls_.cmdDownLoad, &frmMain::cmdDownLoad_Click);
    for (int index = 0; index < int(controls_.cmdEdit.size()); ++index)
        connect(controls_.cmdEdit[index], &QPushButton::clicked, this,
                [this, index] { cmdEdit_Click(index); });
    connect(controls_.cmdOK, &QPushButton::clicked, this, &frmMain::cmdOK_Click);
    onIdleClick(controls_.cmdCancel, &frmMain::cmdCancel_Click);
    connect(controls_.txtEdit, &MessageEdit::textChanged, this, &frmMain::txtEdit_Change);
    connect(&connection_, &session::Connection::changed, this, &frmMain::followConnection);
    connect(&connection_, &session::Connection::scanStarted, this, &frmMain::showScanning);
    connect(&connection_, &session::Connection::lineLost, this, &frmMain::showLostLine);
}

void frmMain::onIdleClick(QPushButton* button, void (frmMain::*handler)())
{
    connect(button, &QPushButton::clicked, this,
            [this, handler] { connection_.whenIdle([this, handler] { (this->*handler)(); }); });
}

void frmMain::closeEvent(QCloseEvent* event)
{
    // Ends a pending wait at once; its handler then stops without touching anything.
    connection_.abort();
    event->accept();
}

void frmMain::cmdConnect_Click()
{
    Connect();
}

void frmMain::Connect()
{
    const std::optional<discovery::ScanResult> result = connection_.scan();
    if (!result)
        return;
    showScanResult(result->found, connection_.identity(),
                   discovery::permissionHint(result->refusedForPermission));
}

// A failure ends as a scan that finds nothing does, and says at once why: the operator typed
// this one address and waits for it.
void frmMain::ConnectTo(const link::DeviceName& device)
{
    const std::optional<discovery::DeviceResult> result = connection_.connectTo(device);
    if (!result)
        return;
    const QString why = QStringLiteral("%1: %2").arg(device.text(), result->failure);
    showScanResult(result->found, connection_.identity(), why);
    if (!result->found)
        message_box::show(this, message_box::Icon::Exclamation,
                          QStringLiteral("Connect to Network Unit"),
                          QStringLiteral("No unit was found.\n%1").arg(why));
}

void frmMain::showScanning()
{
    controls_.lblConn->setText(QStringLiteral("Connecting..."));
    controls_.lblConn->repaint(); // the first pass processes no events
}

void frmMain::showScanResult(bool found, const QString& caption, const QString& hint)
{
    controls_.lblConn->setText(found ? caption : QStringLiteral("Device not Found!"));
    controls_.lblConn->setToolTip(found ? QString() : hint);
}

// Whatever changed (a scan, an upload, a lost line, a sequence starting or ending), the
// controls show it; the configuration frame, once open, stays open.
void frmMain::followConnection()
{
    controls_.cmdUpLoad->setEnabled(connection_.isConnected());
    controls_.cmdDownLoad->setEnabled(connection_.isConnected());
    if (connection_.uploadedSinceScan())
        controls_.Frame2->setEnabled(true);
    showBusy(connection_.isBusy());
}

void frmMain::cmdUpLoad_Click()
{
    runExchange([this] {
        transfer::readConfiguration(exchange(), view_);
        connection_.noteUploaded();
    });
}

void frmMain::cmdDownLoad_Click()
{
    if (mayWriteUnreadValues())
        runExchange([this] { transfer::writeConfiguration(exchange(), view_); });
}

// Right after a scan the window holds its start-up values, which the unit has never had: one
// careless click would otherwise switch off every alert of a unit in the field.
bool frmMain::mayWriteUnreadValues()
{
    if (connection_.uploadedSinceScan())
        return true;
    const bool yes = message_box::ask(
        this, QStringLiteral("Download"),
        QStringLiteral("The configuration has not been read from the unit. Write the values on "
                       "screen to it anyway?"));
    return yes && connection_.isConnected(); // the line may have gone while the box was open
}

void frmMain::cmdEdit_Click(int index)
{
    runExchange([this, index] { openEditor(index, transfer::readMessage(exchange(), index)); });
}

void frmMain::cmdOK_Click()
{
    // A failed save leaves the editor open, so the operator's text is not lost.
    runExchange([this] {
        if (!transfer::saveMessage(exchange(), intEditSlot, controls_.txtEdit->messageText())) {
            view_.warn(QStringLiteral("Message"),
                       QStringLiteral("The message holds a character the unit cannot take."));
            return;
        }
        closeEditor();
    });
}

void frmMain::cmdCancel_Click()
{
    closeEditor();
}

void frmMain::txtEdit_Change()
{
    controls_.lblChars->setText(QStringLiteral("Chars: %1/%2")
                                    .arg(controls_.txtEdit->wireLength())
                                    .arg(MessageEdit::kLimit));
}

void frmMain::runExchange(const std::function<void()>& work)
{
    connection_.run([&work](link::Link&) { work(); });
}

void frmMain::showBusy(bool busy)
{
    if (busy == busyShown_)
        return;
    busyShown_ = busy;
    if (busy)
        QApplication::setOverrideCursor(Qt::BusyCursor);
    else
        QApplication::restoreOverrideCursor();
}

void frmMain::openEditor(int slot, const QString& text)
{
    controls_.txtEdit->setPlainText(text);
    controls_.lblMsgNo->setText(QStringLiteral("Edit Message No.%1").arg(slot + 1));
    intEditSlot = slot;
    controls_.txtEdit->setEnabled(true);
    controls_.cmdOK->setEnabled(true);
    controls_.cmdCancel->setEnabled(true);
    controls_.FrameEdit->setEnabled(false);
    controls_.txtEdit->setFocus(); // the pressed Edit button has just become inert
}

void frmMain::closeEditor()
{
    controls_.lblMsgNo->clear();
    controls_.txtEdit->setEnabled(false);
    controls_.txtEdit->clear();
    controls_.cmdOK->setEnabled(false);
    controls_.cmdCancel->setEnabled(false);
    controls_.FrameEdit->setEnabled(true);
}

void frmMain::showLostLine(const QString& device, const QString& reason)
{
    controls_.lblConn->setText(QStringLiteral("Not Connected"));
    message_box::show(
        this, message_box::Icon::Exclamation, QStringLiteral("Connection"),
        QStringLiteral("The connection to the unit was lost.\n%1: %2").arg(device, reason));
}

} // namespace tarvex::app
