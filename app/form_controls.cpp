#include "app/form_controls.h"

#include "app/form_builder.h"
#include "app/item_names.h"
#include "app/message_edit.h"
#include "app/phone_edit.h"
#include "app/window_look.h"
#include "protocol/events.h"

#include <QCheckBox>
#include <QComboBox>
#include <QGroupBox>
#include <QLabel>
#include <QPushButton>

namespace tarvex::app {
namespace {

// The window's layout as drawn, in twips (1/1440 inch: 15 twips make a pixel at 96 DPI). Each
// place is relative to the frame that holds the control (the three outer frames: to the client
// area), and tab is the control's place in the focus order: the connection's buttons, the count,
// the numbers in turn and the test number, the switches, their Edit buttons, the editor and its
// buttons. A grid gives its columns' first rows.
namespace layout {
constexpr int kClientWidth = 10224;
constexpr int kClientHeight = 8280;
constexpr int kRowPitch = 360;

constexpr Place Frame1{.left = 120, .top = 120, .width = 2295, .height = 2535};
constexpr Place lblConn{.left = 120, .top = 360, .width = 1935, .height = 255};
constexpr Place cmdConnect{.left = 480, .top = 720, .width = 1335, .height = 375, .tab = 1};
constexpr Place cmdUpLoad{.left = 480, .top = 1320, .width = 1335, .height = 375, .tab = 2};
constexpr Place cmdDownLoad{.left = 480, .top = 1920, .width = 1335, .height = 375, .tab = 3};

constexpr Place Frame2{.left = 2640, .top = 120, .width = 7335, .height = 7935};
constexpr Place Label1{.left = 360, .top = 240, .width = 1215, .height = 255};
constexpr Place cmbNumPhones{.left = 1800, .top = 240, .width = 1215, .height = 315, .tab = 10};
constexpr Place Label4{.left = 3600, .top = 240, .width = 1332, .height = 252};
constexpr Place txtPhone10{.left = 4920, .top = 240, .width = 1815, .height = 285, .tab = 21};

constexpr Place Frame3{.left = 360, .top = 720, .width = 6615, .height = 2295};
constexpr Place lblPhoneLeft{.left = 240, .top = 360, .width = 1215, .height = 255};
constexpr Place txtPhoneLeft{.left = 1320, .top = 360, .width = 1815, .height = 285, .tab = 11};
constexpr Place lblPhoneRight{.left = 3480, .top = 360, .width = 1215, .height = 255};
constexpr Place txtPhoneRight{.left = 4560, .top = 360, .width = 1815, .height = 285, .tab = 16};

constexpr Place FrameEdit{.left = 360, .top = 3240, .width = 6615, .height = 1935};
constexpr Place Check1{.left = 240, .top = 360, .width = 1815, .height = 255, .tab = 30};
constexpr Place Check2{.left = 3480, .top = 360, .width = 1815, .height = 195, .tab = 34};
constexpr Place cmdEditLeft{.left = 1920, .top = 360, .width = 1215, .height = 255, .tab = 40};
constexpr Place cmdEditRight{.left = 5280, .top = 360, .width = 1215, .height = 255, .tab = 44};

constexpr Place lblMsgNo{.left = 360, .top = 5280, .width = 2175, .height = 255};
constexpr Place txtEdit{.left = 360, .top = 5520, .width = 6615, .height = 1815, .tab = 50};
constexpr Place lblChars{.left = 360, .top = 7320, .width = 1575, .height = 255};
constexpr Place cmdCancel{.left = 4080, .top = 7440, .width = 1215, .height = 375, .tab = 52};
constexpr Place cmdOK{.left = 5520, .top = 7440, .width = 1335, .height = 375, .tab = 51};

constexpr Place Frame5{.left = 120, .top = 6000, .width = 2295, .height = 2055};
constexpr Place Label3{.left = 360, .top = 240, .width = 1575, .height = 255};
constexpr Place Label2{.left = 240, .top = 720, .width = 1815, .height = 255};
constexpr Place Image1{.left = 120, .top = 1080, .width = 2055, .height = 855};
} // namespace layout

constexpr int kPhoneRows = protocol::kPhoneSlots / 2;
constexpr int kEventRows = std::tuple_size_v<decltype(FormControls::Check1)>;
constexpr int kInputEvents = 3; // Check2(0..2) and cmdEdit(4..6): not offered by this unit

// The place in the given row of a grid column, from the column's first row; each row takes the
// next place in the focus order.
constexpr Place inRow(Place first, int row)
{
    first.top += row * layout::kRowPitch;
    if (first.tab != Place::kNoTab)
        first.tab += row;
    return first;
}

void setUpForm(QWidget* form, const FormBuilder& builder)
{
    // On the form, not the application, so the form alone carries its look.
    form->setFont(windowFont());
    form->setFixedSize(builder.pixels(layout::kClientWidth, layout::kClientHeight));
}

void buildConnectionFrame(FormBuilder& form, QWidget* window, FormControls& c)
{
    c.Frame1 = form.frame(window, QStringLiteral("Connect"), layout::Frame1);
    c.lblConn = form.label(c.Frame1, QStringLiteral("Not Connected"), layout::lblConn);
    c.cmdConnect = form.button(c.Frame1, QStringLiteral("Connect"), layout::cmdConnect);
    c.cmdUpLoad = form.button(c.Frame1, QStringLiteral("Upload"), layout::cmdUpLoad);
    c.cmdDownLoad = form.button(c.Frame1, QStringLiteral("DownLoad"), layout::cmdDownLoad);
    c.cmdUpLoad->setEnabled(false);
    c.cmdDownLoad->setEnabled(false);
}

PhoneEdit* phoneBox(FormBuilder& form, QWidget* container, const Place& at)
{
    auto* box = form.add<PhoneEdit>(container, at);
    box->setText(QStringLiteral("0"));
    return box;
}

// Two columns of five: the left one has its labels first, the right one label and box in turn.
void buildPhoneGrid(FormBuilder& form, FormControls& c)
{
    c.Frame3 = form.frame(c.Frame2, QStringLiteral("Phone Numbers"), layout::Frame3);
    for (int row = 0; row < kPhoneRows; ++row)
        c.lblPhone[row] = form.label(c.Frame3, {}, inRow(layout::lblPhoneLeft, row));
    for (int row = 0; row < kPhoneRows; ++row)
        c.txtPhone[row] = phoneBox(form, c.Frame3, inRow(layout::txtPhoneLeft, row));
    for (int row = 0; row < kPhoneRows; ++row) {
        const int slot = kPhoneRows + row;
        c.lblPhone[slot] = form.label(c.Frame3, {}, inRow(layout::lblPhoneRight, row));
        c.txtPhone[slot] = phoneBox(form, c.Frame3, inRow(layout::txtPhoneRight, row));
    }
}

// Each Edit button stands beside the check box of its event: slots 0..3 on the left, 4..7 right.
QPushButton* editButton(FormBuilder& form, QWidget* frame, int slot)
{
    const Place& column = slot < kEventRows ? layout::cmdEditLeft : layout::cmdEditRight;
    return form.button(frame, QStringLiteral("Edit"), inRow(column, slot % kEventRows));
}

void buildEventGrid(FormBuilder& form, FormControls& c)
{
    c.FrameEdit = form.frame(c.Frame2, QStringLiteral("Messages:"), layout::FrameEdit);
    for (int row = 0; row < kEventRows; ++row)
        c.Check1[row] = form.checkBox(c.FrameEdit, protocol::eventCaptions()[size_t(row)],
                                      inRow(layout::Check1, row));
    c.cmdEdit[0] = editButton(form, c.FrameEdit, 0);
    for (int row = 0; row < kEventRows; ++row)
        c.Check2[row] =
            form.checkBox(c.FrameEdit, protocol::eventCaptions()[size_t(kEventRows + row)],
                          inRow(layout::Check2, row));
    for (int slot = 1; slot < protocol::kMessageSlots; ++slot)
        c.cmdEdit[slot] = editButton(form, c.FrameEdit, slot);
    // Hidden, not removed: they keep their values and travel with the others.
    for (int row = 0; row < kInputEvents; ++row) {
        c.Check2[row]->setVisible(false);
        c.cmdEdit[kEventRows + row]->setVisible(false);
    }
}

void buildMessageEditor(FormBuilder& form, FormControls& c)
{
    c.lblMsgNo = form.label(c.Frame2, {}, layout::lblMsgNo);
    c.txtEdit = form.add<MessageEdit>(c.Frame2, layout::txtEdit);
    c.lblChars = form.label(c.Frame2, {}, layout::lblChars);
    c.cmdCancel = form.button(c.Frame2, QStringLiteral("Cancel"), layout::cmdCancel);
    c.cmdOK = form.button(c.Frame2, QStringLiteral("Save"), layout::cmdOK);
    // No message is open yet.
    c.txtEdit->setEnabled(false);
    c.cmdCancel->setEnabled(false);
    c.cmdOK->setEnabled(false);
}

void buildConfigurationFrame(FormBuilder& form, QWidget* window, FormControls& c)
{
    c.Frame2 = form.frame(window, {}, layout::Frame2);
    c.Label1 = form.label(c.Frame2, item_names::phoneCount() + u':', layout::Label1);
    c.cmbNumPhones = form.add<QComboBox>(c.Frame2, layout::cmbNumPhones);
    c.Label4 = form.label(c.Frame2, item_names::testPhone(), layout::Label4);
    c.txtPhone[protocol::kTestPhoneSlot] = phoneBox(form, c.Frame2, layout::txtPhone10);
    buildPhoneGrid(form, c);
    buildEventGrid(form, c);
    buildMessageEditor(form, c);
    // Inert until the first read. Only the frame is disabled, so once it is enabled each
    // control inside answers to its own flag again.
    c.Frame2->setEnabled(false);
}

void buildBrandingFrame(FormBuilder& form, QWidget* window, FormControls& c)
{
    c.Frame5 = form.frame(window, {}, layout::Frame5);
    c.Label3 = form.label(c.Frame5, QStringLiteral("Version. 2.1"), layout::Label3);
    c.Label2 = form.label(c.Frame5, QStringLiteral("Tarvex Systems"), layout::Label2);
    c.Label2->setFont(vendorNameFont());
    c.Image1 = form.label(c.Frame5, {}, layout::Image1);
    c.Image1->setScaledContents(true);
    c.Image1->setPixmap(vendorLogo());
}

// The phone-count list holds "0".."10" so that an item's index is the count it stands for.
void fillAtStartUp(FormControls& c)
{
    for (int count = 0; count <= protocol::kPhoneSlots; ++count)
        c.cmbNumPhones->addItem(QString::number(count));
    c.cmbNumPhones->setCurrentIndex(0);
    for (int slot = 0; slot < int(c.lblPhone.size()); ++slot)
        c.lblPhone[slot]->setText(item_names::phone(slot) + u':');
}

} // namespace

void buildControls(QWidget* window, FormControls& controls)
{
    FormBuilder form(window);
    setUpForm(window, form);
    buildConnectionFrame(form, window, controls);
    buildConfigurationFrame(form, window, controls);
    buildBrandingFrame(form, window, controls);
    fillAtStartUp(controls);
    form.setFocusOrder();
}

} // namespace tarvex::app
