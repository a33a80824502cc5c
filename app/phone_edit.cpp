#include "app/phone_edit.h"

#include "protocol/wire_text.h"

#include <QValidator>

namespace tarvex::app {
namespace {

// The line edit undoes any change that makes the text invalid, so a refused character or
// paste leaves the box as it was.
class WireTextValidator : public QValidator
{
public:
    using QValidator::QValidator;

    State validate(QString& input, int& /*position*/) const override
    {
        return protocol::isWireText(input) ? Acceptable : Invalid;
    }
};

} // namespace

PhoneEdit::PhoneEdit(QWidget* parent) : QLineEdit(parent)
{
    setMaxLength(kMaxLength);
    setValidator(new WireTextValidator(this));
}

} // namespace tarvex::app
