#include "app/phone_edit.h"

#include "protocol/value_rules.h"

#include <QValidator>

namespace tarvex::app {
namespace {

// The line edit undoes any change that makes the text invalid, so a refused character or
// paste leaves the box as it was.
class PhoneBoxValidator : public QValidator
{
public:
    using QValidator::QValidator;

    State validate(QString& input, int& /*position*/) const override
    {
        return protocol::fitsPhoneBox(input) ? Acceptable : Invalid;
    }
};

} // namespace

PhoneEdit::PhoneEdit(QWidget* parent) : QLineEdit(parent)
{
    setMaxLength(kMaxLength);
    setValidator(new PhoneBoxValidator(this));
}

} // namespace tarvex::app
