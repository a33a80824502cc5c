#include "app/dialogs.h"
#include "app/dialogs_observer.h"
#include "app/modal_answer.h"

#include <QDialog>
#include <QDialogButtonBox>
#include <QHeaderView>
#include <QLabel>
#include <QPushButton>
#include <QTableWidget>
#include <QVBoxLayout>

namespace tarvex::app::dialogs {
namespace {

// Table cells draw their text as it is: values from the unit never become markup.
QTableWidget* differencesTable(const QList<DifferenceRow>& rows, QWidget* parent)
{
    auto* table = new QTableWidget(int(rows.size()), 3, parent);
    table->setHorizontalHeaderLabels(
        {QStringLiteral("Item"), QStringLiteral("On the unit"), QStringLiteral("In the file")});
    table->verticalHeader()->setVisible(false);
    table->setEditTriggers(QAbstractItemView::NoEditTriggers);
    table->setSelectionBehavior(QAbstractItemView::SelectRows);
    for (int row = 0; row < int(rows.size()); ++row) {
        const DifferenceRow& difference = rows[row];
        table->setItem(row, 0, new QTableWidgetItem(difference.item));
        table->setItem(row, 1, new QTableWidgetItem(difference.onUnit));
        table->setItem(row, 2, new QTableWidgetItem(difference.inFile));
    }
    table->resizeColumnsToContents();
    table->horizontalHeader()->setStretchLastSection(true);
    return table;
}

QLabel* noteLine(const QString& note, QWidget* parent)
{
    auto* label = new QLabel(note, parent);
    label->setTextFormat(Qt::PlainText);
    label->setWordWrap(true);
    return label;
}

// "Write" and "Cancel" with Cancel the default, so a hasty Enter writes nothing; or "Close".
QDialogButtonBox* answerButtons(bool offersWrite, QDialog* dialog)
{
    auto* buttons = new QDialogButtonBox(dialog);
    if (offersWrite) {
        QPushButton* write =
            buttons->addButton(QStringLiteral("Write"), QDialogButtonBox::AcceptRole);
        write->setAutoDefault(false);
        buttons->addButton(QStringLiteral("Cancel"), QDialogButtonBox::RejectRole)
            ->setDefault(true);
    } else {
        buttons->addButton(QStringLiteral("Close"), QDialogButtonBox::RejectRole)->setDefault(true);
    }
    QObject::connect(buttons, &QDialogButtonBox::accepted, dialog, &QDialog::accept);
    QObject::connect(buttons, &QDialogButtonBox::rejected, dialog, &QDialog::reject);
    return buttons;
}

} // namespace

bool showDifferences(QWidget* parent, const DifferencesRequest& request)
{
    // Only a dialog that offers Write can answer Write, whoever answers it.
    if (Observer* observer = currentObserver())
        return answerAsModal<bool>([&] { return observer->answer(request); }) &&
               request.offersWrite;
    QDialog dialog(parent);
    dialog.setWindowTitle(request.title);
    auto* layout = new QVBoxLayout(&dialog);
    layout->addWidget(differencesTable(request.rows, &dialog));
    if (!request.note.isEmpty())
        layout->addWidget(noteLine(request.note, &dialog));
    layout->addWidget(answerButtons(request.offersWrite, &dialog));
    dialog.resize(560, 320);
    return dialog.exec() == QDialog::Accepted && request.offersWrite;
}

} // namespace tarvex::app::dialogs
