#include "app/message_box.h"

#include "app/modal_answer.h"

#include <QMessageBox>

namespace tarvex::app::message_box {
namespace {
Observer& observer()
{
    static Observer instance;
    return instance;
}

bool observe(Icon icon, const QString& title, const QString& text)
{
    return answerAsModal<bool>([&] { return observer()(icon, title, text); });
}

QMessageBox::Icon boxIcon(Icon icon)
{
    switch (icon) {
    case Icon::Exclamation:
        return QMessageBox::Warning;
    case Icon::Information:
        return QMessageBox::Information;
    case Icon::Question:
        return QMessageBox::Question;
    }
    return QMessageBox::NoIcon;
}
} // namespace

void setObserver(Observer newObserver)
{
    observer() = std::move(newObserver);
}

void show(QWidget* parent, Icon icon, const QString& title, const QString& text)
{
    if (observer()) {
        observe(icon, title, text);
        return;
    }
    QMessageBox box(boxIcon(icon), title, text, QMessageBox::Ok, parent);
    box.setTextFormat(Qt::PlainText); // device names and reasons are not markup
    box.exec();
}

bool ask(QWidget* parent, const QString& title, const QString& text)
{
    if (observer())
        return observe(Icon::Question, title, text);
    QMessageBox box(QMessageBox::Question, title, text, QMessageBox::Yes | QMessageBox::No, parent);
    box.setDefaultButton(QMessageBox::No);
    box.setTextFormat(Qt::PlainText);
    return box.exec() == QMessageBox::Yes;
}

} // namespace tarvex::app::message_box
