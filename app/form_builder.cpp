#include "app/form_builder.h"

#include "app/compact_check_box_style.h"

#include <QCheckBox>
#include <QGroupBox>
#include <QLabel>
#include <QPushButton>

#include <algorithm>

namespace tarvex::app {

FormBuilder::FormBuilder(QWidget* window)
    : dpiX_(window->logicalDpiX()), dpiY_(window->logicalDpiY()),
      checkBoxStyle_(new CompactCheckBoxStyle(window))
{}

QGroupBox* FormBuilder::frame(QWidget* container, const QString& title, const Place& at)
{
    auto* frame = add<QGroupBox>(container, at);
    frame->setTitle(title);
    return frame;
}

QLabel* FormBuilder::label(QWidget* container, const QString& text, const Place& at)
{
    auto* label = add<QLabel>(container, at);
    // Some labels show text from the unit, which must never be taken for markup.
    label->setTextFormat(Qt::PlainText);
    label->setText(text);
    return label;
}

QPushButton* FormBuilder::button(QWidget* container, const QString& caption, const Place& at)
{
    auto* button = add<QPushButton>(container, at);
    button->setText(caption);
    // Enter presses no button, not even the one with the focus: a click or Space does.
    button->setAutoDefault(false);
    button->setDefault(false);
    return button;
}

QCheckBox* FormBuilder::checkBox(QWidget* container, const QString& caption, const Place& at)
{
    auto* box = add<QCheckBox>(container, at);
    box->setText(caption);
    box->setStyle(checkBoxStyle_);
    return box;
}

QSize FormBuilder::pixels(int widthTwips, int heightTwips) const
{
    return {twipsToPixels(widthTwips, dpiX_), twipsToPixels(heightTwips, dpiY_)};
}

void FormBuilder::place(QWidget* control, const Place& at)
{
    control->setGeometry(twipsToPixels(at.left, dpiX_), twipsToPixels(at.top, dpiY_),
                         twipsToPixels(at.width, dpiX_), twipsToPixels(at.height, dpiY_));
    if (at.tab != Place::kNoTab)
        tabPlaces_.push_back({at.tab, control});
}

void FormBuilder::setFocusOrder()
{
    std::ranges::sort(tabPlaces_, {}, &TabPlace::place);
    QWidget* previous = nullptr;
    for (const TabPlace& entry : tabPlaces_) {
        if (!(entry.control->focusPolicy() & Qt::TabFocus))
            continue;
        if (previous != nullptr)
            QWidget::setTabOrder(previous, entry.control);
        previous = entry.control;
    }
}

} // namespace tarvex::app
