#pragma once

#include <QString>

#include <functional>

class QWidget;

// Every modal message box of the program goes through here, so that a test can watch what
// the operator would be told and answer it without a real dialog.
namespace tarvex::app::message_box {

enum class Icon { Exclamation, Information, Question };

// Takes each box in the operator's place and gives the answer: true for OK or Yes.
using Observer = std::function<bool(Icon icon, const QString& title, const QString& text)>;

// With an observer set, boxes are handed to it instead of being shown, from inside an event loop
// as a shown box runs one. Pass {} to reset.
void setObserver(Observer observer);

// Shows a modal box with one OK button; returns when it has been dismissed.
void show(QWidget* parent, Icon icon, const QString& title, const QString& text);

// Asks with Yes and No, No the default, so that a hasty Enter changes nothing; true for Yes.
bool ask(QWidget* parent, const QString& title, const QString& text);

} // namespace tarvex::app::message_box
