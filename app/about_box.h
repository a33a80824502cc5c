#pragma once

#include <QDialog>

namespace tarvex::app {

// "About Tarvex Configurator": the version, what the program is, and its licence. Not modal,
// so that opening it during an exchange holds up nothing.
class AboutBox : public QDialog
{
    Q_OBJECT
public:
    explicit AboutBox(QWidget* parent = nullptr);

    static QString text();
};

} // namespace tarvex::app
