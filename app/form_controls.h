#pragma once

#include "protocol/slots.h"

#include <array>

class QCheckBox;
class QComboBox;
class QGroupBox;
class QLabel;
class QPushButton;
class QWidget;

namespace tarvex::app {

class PhoneEdit;
class MessageEdit;

// Every control of the main window, by the names the handlers and the technician's
// documentation use. Indexed groups are arrays; the hidden controls exist and hold values.
struct FormControls
{
    QGroupBox* Frame1 = nullptr;
    QLabel* lblConn = nullptr;
    QPushButton* cmdConnect = nullptr;
    QPushButton* cmdUpLoad = nullptr;
    QPushButton* cmdDownLoad = nullptr;

    QGroupBox* Frame2 = nullptr;
    QLabel* Label1 = nullptr;
    QComboBox* cmbNumPhones = nullptr;
    QLabel* Label4 = nullptr;
    std::array<PhoneEdit*, protocol::kTestPhoneSlot + 1> txtPhone{}; // the last: test number
    QGroupBox* Frame3 = nullptr;
    std::array<QLabel*, protocol::kPhoneSlots> lblPhone{};
    QGroupBox* FrameEdit = nullptr;
    std::array<QCheckBox*, 4> Check1{};
    std::array<QCheckBox*, 4> Check2{};
    std::array<QPushButton*, protocol::kMessageSlots> cmdEdit{};
    QLabel* lblMsgNo = nullptr;
    MessageEdit* txtEdit = nullptr;
    QLabel* lblChars = nullptr;
    QPushButton* cmdCancel = nullptr;
    QPushButton* cmdOK = nullptr;

    QGroupBox* Frame5 = nullptr;
    QLabel* Label3 = nullptr;
    QLabel* Label2 = nullptr;
    QLabel* Image1 = nullptr;
};

// Creates every control as a child of window, placed, captioned and in its initial state,
// sets the focus order, the font and the fixed size of the client area, and does the start-up
// filling (the phone-count list and the phone labels). The title and icon are the main
// window's.
void buildControls(QWidget* window, FormControls& controls);

} // namespace tarvex::app
