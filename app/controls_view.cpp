#include "app/controls_view.h"

#include "app/message_box.h"
#include "app/phone_edit.h"

#include <QCheckBox>
#include <QComboBox>

namespace tarvex::app {

static_assert(std::tuple_size_v<decltype(FormControls::Check1)> +
                      std::tuple_size_v<decltype(FormControls::Check2)> ==
                  std::tuple_size_v<protocol::EventMask>,
              "the two frames of event boxes hold the whole mask");

ControlsView::ControlsView(const FormControls& controls, QWidget* window)
    : controls_(controls), window_(window)
{}

int ControlsView::phoneCount() const
{
    return controls_.cmbNumPhones->currentIndex();
}

void ControlsView::setPhoneCount(int count)
{
    controls_.cmbNumPhones->setCurrentIndex(count);
}

QString ControlsView::phoneNumber(int slot) const
{
    return controls_.txtPhone[slot]->text();
}

void ControlsView::setPhoneNumber(int slot, const QString& number)
{
    controls_.txtPhone[slot]->setText(number);
}

protocol::EventMask ControlsView::eventFlags() const
{
    // The mask's order: Check1, then Check2.
    protocol::EventMask flags{};
    const int second = int(controls_.Check1.size());
    for (int index = 0; index < second; ++index)
        flags[index] = controls_.Check1[index]->isChecked();
    for (int index = 0; index < int(controls_.Check2.size()); ++index)
        flags[second + index] = controls_.Check2[index]->isChecked();
    return flags;
}

void ControlsView::setEventFlags(const protocol::EventMask& flags)
{
    const int second = int(controls_.Check1.size());
    for (int index = 0; index < second; ++index)
        controls_.Check1[index]->setChecked(flags[index]);
    for (int index = 0; index < int(controls_.Check2.size()); ++index)
        controls_.Check2[index]->setChecked(flags[second + index]);
}

void ControlsView::warn(const QString& title, const QString& text)
{
    message_box::show(window_, message_box::Icon::Exclamation, title, text);
}

void ControlsView::inform(const QString& title, const QString& text)
{
    message_box::show(window_, message_box::Icon::Information, title, text);
}

} // namespace tarvex::app
