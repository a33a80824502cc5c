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

// A control's place: where it sits in its container, in twips, and its place in the focus
// order (none when left out).
struct Place
{
    static constexpr int kNoTab = -1;

    int left = 0;
    int top = 0;
    int width = 0;
    int height = 0;
    int tab = kNoTab;
};

// Creates the window's controls at their places in twips and keeps their places in the focus
// order, so the order can be set once every control exists.
class FormBuilder
{
public:
    explicit FormBuilder(QWidget* window);

    template <class Control> Control* add(QWidget* container, const Place& at)
    {
        auto* control = new Control(container);
        place(control, at);
        return control;
    }

    QGroupBox* frame(QWidget* container, const QString& title, const Place& at);
    QLabel* label(QWidget* container, const QString& text, const Place& at);
    QPushButton* button(QWidget* container, const QString& caption, const Place& at);
    QCheckBox* checkBox(QWidget* container, const QString& caption, const Place& at);

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

    void place(QWidget* control, const Place& at);

    int dpiX_;
    int dpiY_;
    QStyle* checkBoxStyle_;
    std::vector<TabPlace> tabPlaces_;
};

} // namespace tarvex::app
