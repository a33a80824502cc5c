#include "app/about_box.h"

#include "app/window_look.h"

#include <QDialogButtonBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QVBoxLayout>

namespace tarvex::app {

AboutBox::AboutBox(QWidget* parent) : QDialog(parent)
{
    setWindowTitle(QStringLiteral("About Tarvex Configurator"));
    auto* icon = new QLabel(this);
    icon->setPixmap(app::windowIcon().pixmap(32, 32));
    auto* words = new QLabel(text(), this);
    words->setTextFormat(Qt::PlainText);
    words->setTextInteractionFlags(Qt::TextSelectableByMouse); // a version to quote to support
    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Close, this);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::close);

    auto* content = new QHBoxLayout;
    content->addWidget(icon, 0, Qt::AlignTop);
    content->addWidget(words, 1);
    auto* layout = new QVBoxLayout(this);
    layout->addLayout(content);
    layout->addWidget(buttons);
    layout->setSizeConstraint(QLayout::SetFixedSize);
}

QString AboutBox::text()
{
    return QStringLiteral(
               "Tarvex Configurator %1\n\n"
               "Sets up the Tarvex power-supply alert unit over a serial line: its phone "
               "numbers,\nevent switches and SMS texts, and keeps its configuration in files.\n\n"
               "Copyright 2026 Tarvex. Proprietary licence: all rights reserved.\n"
               "Distributed by Tarvex to its customers for use with Tarvex units.")
        .arg(QStringLiteral(TARVEX_VERSION));
}

} // namespace tarvex::app
