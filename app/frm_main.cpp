#include "app/frm_main.h"

#include "app/message_box.h"
#include "app/message_edit.h"
#include "app/phone_edit.h"
#include "discovery/port_scan.h"
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

static_assert(std::tuple_size_v<decltype(FormControls::Check1)> +
                      std::tuple_size_v<decltype(FormControls::Check2)> ==
                  std::tuple_size_v<protocol::EventMask>,
              "the two frames of event boxes hold the whole mask");

frmMain::frmMain(link::PortMap ports, std::chrono::milliseconds replyWait, QWidget* parent)
    : QWidget(parent), connection_(std::move(ports), replyWait)
{
    buildControls(this, *this);
    wireEvents();
}

frmMain::~frmMain()
{
    connection_.abort();
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
    connect(&connection_, &discovery::Connection::busyChanged, this, &frmMain::showBusy);
    connect(&connection_, &discovery::Connection::lineLost, this, &frmMain::showLostLine);
}

void frmMain::closeEvent(QCloseEvent* event)
{
    // Ends a pending wait at once; its handler then stops without touching anything.
    connection_.abort();
    event->accept();
}

void frmMain::cmdConnect_Click()
{
    if (connection_.isBusy())
        return;
    lblConn->setText(QStringLiteral("Connecting..."));
    lblConn->repaint(); // the first pass processes no events
    Connect();
}

void frmMain::Connect()
{
    if (connection_.isBusy())
        return;
    uploadedSinceScan_ = false;
    const std::optional<discovery::ScanResult> result = connection_.scan();
    if (!result)
        return;
    showScanResult(result->found, discovery::identityCaption(*result),
                   discovery::permissionHint(result->refusedForPermission));
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
        transfer::readConfiguration(exchange(), *this);
        Frame2->setEnabled(true);
        uploadedSinceScan_ = true;
    });
}

void frmMain::cmdDownLoad_Click()
{
    if (connection_.isBusy() || !mayWriteUnreadValues())
        return;
    runExchange([this] { transfer::writeConfiguration(exchange(), *this); });
}

// Right after a scan the window holds its start-up values, which the unit has never had: one
// careless click would otherwise switch off every alert of a unit in the field.
bool frmMain::mayWriteUnreadValues()
{
    if (uploadedSinceScan_)
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
        if (!transfer::saveMessage(exchange(), intEditSlot, txtEdit->messageText())) {
            warn(QStringLiteral("Message"),
                 QStringLiteral("The message holds a character the unit cannot take."));
            return;
        }
        closeEditor();
    });
}

void frmMain::cmdCancel_Click()
{
    if (!connection_.isBusy())
        closeEditor();
}

void frmMain::txtEdit_Change()
{
    lblChars->setText(
        QStringLiteral("Chars: %1/%2").arg(txtEdit->wireLength()).arg(MessageEdit::kLimit));
}

bool frmMain::runExchange(const std::function<void()>& work)
{
    return connection_.run([&work](link::Link&) { work(); }) ==
           discovery::Connection::Outcome::Done;
}

void frmMain::showBusy(bool busy)
{
    if (busy)
        QApplication::setOverrideCursor(Qt::BusyCursor);
    else
        QApplication::restoreOverrideCursor();
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

void frmMain::showLostLine(const QString& device, const QString& reason)
{
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
    // The mask's order: Check1, then Check2.
    protocol::EventMask flags{};
    const int second = int(Check1.size());
    for (int index = 0; index < second; ++index)
        flags[index] = Check1[index]->isChecked();
    for (int index = 0; index < int(Check2.size()); ++index)
        flags[second + index] = Check2[index]->isChecked();
    return flags;
}

void frmMain::setEventFlags(const protocol::EventMask& flags)
{
    const int second = int(Check1.size());
    for (int index = 0; index < second; ++index)
        Check1[index]->setChecked(flags[index]);
    for (int index = 0; index < int(Check2.size()); ++index)
        Check2[index]->setChecked(flags[second + index]);
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
