#include "app/controls_view.h"

#include "app/message_box.h"
#include "app/phone_edit.h"

#include <QCheckBox>
#include <QComboBox>

#include <algorithm>

namespace tarvex::app {

static_assert(std::tuple_size_v<decltype(FormControls::Check1)> +
                      std::tuple_size_v<decltype(FormControls::Check2)> ==
                  std::tuple_size_v<protocol::EventMask>,
              "the two frames of event boxes hold the whole mask");

namespace {

// The eight event boxes in the mask's order: Check1, then Check2.
std::array<QCheckBox*, protocol::kEventCount> eventBoxes(const FormControls& controls)
{
    std::array<QCheckBox*, protocol::kEventCount> boxes{};
    const auto second = std::ranges::copy(controls.Check1, boxes.begin()).out;
    std::ranges::copy(controls.Check2, second);
    return boxes;
}

} // namespace

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
    protocol::EventMask flags{};
    const auto boxes = eventBoxes(controls_);
    for (size_t index = 0; index < boxes.size(); ++index)
        flags[index] = boxes[index]->isChecked();
    return flags;
}

void ControlsView::setEventFlags(const protocol::EventMask& flags)
{
    const auto boxes = eventBoxes(controls_);
    for (size_t index = 0; index < boxes.size(); ++index)
        boxes[index]->setChecked(flags[index]);
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
