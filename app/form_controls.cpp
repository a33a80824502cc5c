#include "app/form_controls.h"

#include "app/form_builder.h"
#include "app/message_edit.h"
#include "app/phone_edit.h"
#include "app/window_look.h"

#include <QCheckBox>
#include <QComboBox>
#include <QGroupBox>
#include <QLabel>
#include <QPushButton>

namespace tarvex::app {
namespace {

constexpr int kClientWidth = 10224;
constexpr int kClientHeight = 8280;

constexpr std::array<int, 5> kPhoneRowTops{360, 720, 1080, 1440, 1800};
constexpr std::array<int, 4> kEventRowTops{360, 720, 1080, 1440};
// Message slot i's Edit button; the hidden input rows keep their places.
constexpr std::array<int, 8> kEditButtonTabPlaces{32, 37, 38, 39, 40, 41, 42, 43};
constexpr int kInputEvents = 3; // Check2(0..2) and cmdEdit(4..6): not offered by this unit
constexpr int kMaxPhoneCount = 10;

const std::array<QString, 4> kPowerEvents{
    QStringLiteral("Power1 OFF to ON"), QStringLiteral("Power2 OFF to ON"),
    QStringLiteral("Power1 ON to OFF"), QStringLiteral("Power2 ON to OFF")};
const std::array<QString, 4> kOtherEvents{
    QStringLiteral("Input 1 ON to OFF"), QStringLiteral("Input 2 ON to OFF"),
    QStringLiteral("Input 3 ON to OFF"), QStringLiteral("TEST")};

void setUpWindow(QWidget* window, const FormBuilder& form)
{
    window->setWindowTitle(QStringLiteral("Tarvex Configurator - Power Supply Indicator"));
    // A fixed single border: a close button, no minimise or maximise.
    window->setWindowFlags(Qt::Window | Qt::CustomizeWindowHint | Qt::WindowTitleHint |
                           Qt::WindowCloseButtonHint | Qt::WindowSystemMenuHint |
                           Qt::MSWindowsFixedSizeDialogHint);
    window->setWindowIcon(windowIcon());
    // On the window, not the application, so the window alone carries its look.
    window->setFont(windowFont());
    window->setFixedSize(form.pixels(kClientWidth, kClientHeight));
}

void buildConnectionFrame(FormBuilder& form, QWidget* window, FormControls& c)
{
    c.Frame1 = form.frame(window, QStringLiteral("Connect"), {120, 120, 2295, 2535}, 0);
    c.lblConn = form.label(c.Frame1, QStringLiteral("Not Connected"), {120, 360, 1935, 255}, 2);
    c.cmdConnect = form.button(c.Frame1, QStringLiteral("Connect"), {480, 720, 1335, 375}, 1);
    c.cmdUpLoad = form.button(c.Frame1, QStringLiteral("Upload"), {480, 1320, 1335, 375}, 46);
    c.cmdDownLoad = form.button(c.Frame1, QStringLiteral("DownLoad"), {480, 1920, 1335, 375}, 47);
    c.cmdUpLoad->setEnabled(false);
    c.cmdDownLoad->setEnabled(false);
}

PhoneEdit* phoneBox(FormBuilder& form, QWidget* container, const TwipsRect& at, int tabPlace)
{
    auto* box = form.add<PhoneEdit>(container, at, tabPlace);
    box->setText(QStringLiteral("0"));
    return box;
}

// Two columns of five: the left one has its labels first, the right one label and box in turn.
void buildPhoneGrid(FormBuilder& form, FormControls& c)
{
    c.Frame3 = form.frame(c.Frame2, QStringLiteral("Phone Numbers"), {360, 720, 6615, 2295}, 4);
    for (int row = 0; row < 5; ++row)
        c.lblPhone[row] = form.label(c.Frame3, {}, {240, kPhoneRowTops[row], 1215, 255}, 5 + row);
    for (int row = 0; row < 5; ++row)
        c.txtPhone[row] = phoneBox(form, c.Frame3, {1320, kPhoneRowTops[row], 1815, 285}, 10 + row);
    for (int row = 0; row < 5; ++row) {
        const int top = kPhoneRowTops[row];
        c.lblPhone[5 + row] = form.label(c.Frame3, {}, {3480, top, 1215, 255}, 15 + 2 * row);
        c.txtPhone[5 + row] = phoneBox(form, c.Frame3, {4560, top, 1815, 285}, 16 + 2 * row);
    }
}

// Each Edit button stands beside the check box of its event: slots 0..3 on the left, 4..7 right.
QPushButton* editButton(FormBuilder& form, QWidget* frame, int slot)
{
    const TwipsRect at{slot < 4 ? 1920 : 5280, kEventRowTops[slot % 4], 1215, 255};
    return form.button(frame, QStringLiteral("Edit"), at, kEditButtonTabPlaces[slot]);
}

void buildEventGrid(FormBuilder& form, FormControls& c)
{
    c.FrameEdit = form.frame(c.Frame2, QStringLiteral("Messages:"), {360, 3240, 6615, 1935}, 27);
    for (int row = 0; row < 4; ++row)
        c.Check1[row] = form.checkBox(c.FrameEdit, kPowerEvents[row],
                                      {240, kEventRowTops[row], 1815, 255}, 28 + row);
    c.cmdEdit[0] = editButton(form, c.FrameEdit, 0);
    for (int row = 0; row < 4; ++row)
        c.Check2[row] = form.checkBox(c.FrameEdit, kOtherEvents[row],
                                      {3480, kEventRowTops[row], 1815, 195}, 33 + row);
    for (int slot = 1; slot < 8; ++slot)
        c.cmdEdit[slot] = editButton(form, c.FrameEdit, slot);
    // Hidden, not removed: they keep their values and travel with the others.
    for (int row = 0; row < kInputEvents; ++row) {
        c.Check2[row]->setVisible(false);
        c.cmdEdit[4 + row]->setVisible(false);
    }
}

void buildMessageEditor(FormBuilder& form, FormControls& c)
{
    c.lblMsgNo = form.label(c.Frame2, {}, {360, 5280, 2175, 255}, 49);
    c.txtEdit = form.add<MessageEdit>(c.Frame2, {360, 5520, 6615, 1815}, 44);
    c.lblChars = form.label(c.Frame2, {}, {360, 7320, 1575, 255}, 48);
    c.cmdCancel = form.button(c.Frame2, QStringLiteral("Cancel"), {4080, 7440, 1215, 375}, 53);
    c.cmdOK = form.button(c.Frame2, QStringLiteral("Save"), {5520, 7440, 1335, 375}, 45);
    // No message is open yet.
    c.txtEdit->setEnabled(false);
    c.cmdCancel->setEnabled(false);
    c.cmdOK->setEnabled(false);
}

void buildConfigurationFrame(FormBuilder& form, QWidget* window, FormControls& c)
{
    c.Frame2 = form.frame(window, {}, {2640, 120, 7335, 7935}, 3);
    c.Label1 = form.label(c.Frame2, QStringLiteral("No. of Phones:"), {360, 240, 1215, 255}, 26);
    c.cmbNumPhones = form.add<QComboBox>(c.Frame2, {1800, 240, 1215, 315}, 25);
    c.Label4 = form.label(c.Frame2, QStringLiteral("Test Phone No."), {3600, 240, 1332, 252}, 54);
    c.txtPhone[10] = phoneBox(form, c.Frame2, {4920, 240, 1815, 285}, 55);
    buildPhoneGrid(form, c);
    buildEventGrid(form, c);
    buildMessageEditor(form, c);
    // Inert until the first read. Only the frame is disabled, so once it is enabled each
    // control inside answers to its own flag again.
    c.Frame2->setEnabled(false);
}

void buildBrandingFrame(FormBuilder& form, QWidget* window, FormControls& c)
{
    c.Frame5 = form.frame(window, {}, {120, 6000, 2295, 2055}, 50);
    c.Label3 = form.label(c.Frame5, QStringLiteral("Version. 2.1"), {360, 240, 1575, 255}, 52);
    c.Label2 = form.label(c.Frame5, QStringLiteral("Tarvex Systems"), {240, 720, 1815, 255}, 51);
    c.Label2->setFont(vendorNameFont());
    c.Image1 = form.label(c.Frame5, {}, {120, 1080, 2055, 855}, FormBuilder::kNoTabPlace);
    c.Image1->setScaledContents(true);
    c.Image1->setPixmap(vendorLogo());
}

// The phone-count list holds "0".."10" so that an item's index is the count it stands for.
void fillAtStartUp(FormControls& c)
{
    for (int count = 0; count <= kMaxPhoneCount; ++count)
        c.cmbNumPhones->addItem(QString::number(count));
    c.cmbNumPhones->setCurrentIndex(0);
    for (int slot = 0; slot < int(c.lblPhone.size()); ++slot)
        c.lblPhone[slot]->setText(QStringLiteral("Phone No.%1:").arg(slot + 1));
}

} // namespace

void buildControls(QWidget* window, FormControls& controls)
{
    FormBuilder form(window);
    setUpWindow(window, form);
    buildConnectionFrame(form, window, controls);
    buildConfigurationFrame(form, window, controls);
    buildBrandingFrame(form, window, controls);
    fillAtStartUp(controls);
    form.setFocusOrder();
}

} // namespace tarvex::app
