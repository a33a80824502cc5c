#include "app/message_box.h"

#include <QMessageBox>

namespace tarvex::app::message_box {
namespace {
Observer& observer()
{
    static Observer instance;
    return instance;
}
} // namespace

void setObserver(Observer newObserver)
{
    observer() = std::move(newObserver);
}

void show(QWidget* parent, Icon icon, const QString& title, const QString& text)
{
    if (observer()) {
        observer()(icon, title, text);
        return;
    }
    QMessageBox box(icon == Icon::Exclamation ? QMessageBox::Warning : QMessageBox::Information,
                    title, text, QMessageBox::Ok, parent);
    box.setTextFormat(Qt::PlainText); // device names and reasons are not markup
    box.exec();
}

} // namespace tarvex::app::message_box
