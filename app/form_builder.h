#pragma once

#include "app/twips.h"

#include <QSize>
#include <QString>

#include <vector>

class QCheckBox;
class QGroupBox;
class QLabel;
class QPushButton;
class QStyle;
class QWidget;

namespace tarvex::app {

// Creates the window's controls at their places in twips and keeps their places in the focus
// order, so the order can be set once every control exists.
class FormBuilder
{
public:
    static constexpr int kNoTabPlace = -1;

    explicit FormBuilder(QWidget* window);

    template <class Control> Control* add(QWidget* container, const TwipsRect& at, int tabPlace)
    {
        auto* control = new Control(container);
        place(control, at, tabPlace);
        return control;
    }

    QGroupBox* frame(QWidget* container, const QString& title, const TwipsRect& at, int tabPlace);
    QLabel* label(QWidget* container, const QString& text, const TwipsRect& at, int tabPlace);
    QPushButton* button(QWidget* container, const QString& caption, const TwipsRect& at,
                        int tabPlace);
    QCheckBox* checkBox(QWidget* container, const QString& caption, const TwipsRect& at,
                        int tabPlace);

    QSize pixels(int widthTwips, int heightTwips) const;

    // Chains the controls that take the focus in the order of their places; labels and frames
    // hold a place but are passed over.
    void setFocusOrder();

private:
    struct TabPlace
    {
        int place;
        QWidget* control;
    };

    void place(QWidget* control, const TwipsRect& at, int tabPlace);

    int dpiX_;
    int dpiY_;
    QStyle* checkBoxStyle_;
    std::vector<TabPlace> tabPlaces_;
};

} // namespace tarvex::app
