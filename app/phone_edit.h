#pragma once

#include "protocol/slots.h"

#include <QLineEdit>

namespace tarvex::app {

// A phone number box: at most ten characters, and only characters the unit stores byte for
// byte, whether typed or pasted.
class PhoneEdit : public QLineEdit
{
    Q_OBJECT
public:
    static constexpr int kMaxLength = protocol::kPhoneLength;

    explicit PhoneEdit(QWidget* parent = nullptr);
};

} // namespace tarvex::app
