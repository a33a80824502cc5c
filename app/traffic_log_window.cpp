#include "app/traffic_log_window.h"

#include "app/dialogs.h"
#include "app/message_box.h"
#include "app/traffic_log.h"
#include "files/atomic_file.h"

#include <QDate>
#include <QFontDatabase>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QPushButton>
#include <QScrollBar>
#include <QTableView>
#include <QVBoxLayout>

#include <algorithm>

namespace tarvex::app {
namespace {

const QString kTitle = QStringLiteral("Traffic Log");

// In one step, so that a full disk costs no earlier file of the same name; why not, or nothing.
QString writeLines(const QString& path, const QStringList& lines)
{
    files::AtomicFile file(path, files::AtomicFile::Content::Text);
    if (!file.open() || !file.commit(lines.join(QString()).toUtf8()))
        return file.errorString();
    return {};
}

} // namespace

TrafficLogWindow::TrafficLogWindow(TrafficLog& log, QWidget* parent)
    : QWidget(parent, Qt::Window), log_(log), list_(new QTableView(this)),
      saveAs_(new QPushButton(QStringLiteral("Save As..."), this)),
      clear_(new QPushButton(QStringLiteral("Clear"), this))
{
    setWindowTitle(kTitle);
    list_->setModel(&log);
    list_->setFont(QFontDatabase::systemFont(QFontDatabase::FixedFont)); // bytes line up
    list_->verticalHeader()->setVisible(false);
    list_->verticalHeader()->setDefaultSectionSize(list_->fontMetrics().height() + 4);
    list_->setSelectionBehavior(QAbstractItemView::SelectRows);
    list_->setWordWrap(false);
    // Fixed widths: fitting columns to their contents would measure every one of the rows.
    const int digit = list_->fontMetrics().horizontalAdvance(u'0');
    list_->setColumnWidth(TrafficLog::Time, 14 * digit);
    list_->setColumnWidth(TrafficLog::Sent, 24 * digit);
    list_->setColumnWidth(TrafficLog::Duration, 9 * digit);
    list_->horizontalHeader()->setSectionResizeMode(TrafficLog::Received, QHeaderView::Stretch);

    auto* buttons = new QHBoxLayout;
    buttons->addStretch();
    buttons->addWidget(saveAs_);
    buttons->addWidget(clear_);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(list_);
    layout->addLayout(buttons);
    resize(720, 400);

    connect(saveAs_, &QPushButton::clicked, this, &TrafficLogWindow::saveAs);
    connect(clear_, &QPushButton::clicked, &log, &TrafficLog::clear);
    connect(&log, &TrafficLog::rowsAboutToBeInserted, this, [this] {
        const QScrollBar* bar = list_->verticalScrollBar();
        atBottom_ = bar->value() == bar->maximum();
    });
    connect(&log, &TrafficLog::rowsInserted, this, [this](const QModelIndex&, int first, int last) {
        fitWaits(first, last);
        followNewest();
    });
}

// A network line's wait makes its duration longer than the column: the column grows to it,
// measuring only the rows that arrive, never shrinking while the list is read.
void TrafficLogWindow::fitWaits(int first, int last)
{
    const QFontMetrics metrics = list_->fontMetrics();
    int widest = list_->columnWidth(TrafficLog::Duration);
    for (int row = first; row <= last; ++row) {
        const QString text = log_.index(row, TrafficLog::Duration).data().toString();
        widest = std::max(widest, metrics.horizontalAdvance(text + QStringLiteral("00")));
    }
    list_->setColumnWidth(TrafficLog::Duration, widest);
}

void TrafficLogWindow::followNewest()
{
    // Someone reading older lines is not pulled away from them.
    if (atBottom_)
        list_->scrollToBottom();
}

void TrafficLogWindow::saveAs()
{
    const QString name =
        QStringLiteral("tarvex-trace %1.log").arg(QDate::currentDate().toString(Qt::ISODate));
    const std::optional<QString> path =
        dialogs::chooseFileToSave(this, QStringLiteral("Save Traffic Log"), name,
                                  QStringLiteral("Trace files (*.log);;All files (*)"), QString());
    if (!path)
        return;
    const QString error = writeLines(*path, log_.traceLines());
    if (!error.isEmpty())
        message_box::show(
            this, message_box::Icon::Exclamation, kTitle,
            QStringLiteral("The traffic log could not be saved.\n%1: %2").arg(*path, error));
}

} // namespace tarvex::app
