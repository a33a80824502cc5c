#include "app/dialogs.h"
#include "app/dialogs_observer.h"

#include <QLabel>
#include <QProgressDialog>

namespace tarvex::app::dialogs {
namespace {

constexpr int kWaitShownAfterMs = 400;

} // namespace

Progress::Progress(QWidget* parent, const QString& label, int maximum) : step_{label, 0, maximum}
{
    if (currentObserver())
        return;
    dialog_ = new QProgressDialog(parent);
    auto* text = new QLabel(label, dialog_);
    text->setTextFormat(Qt::PlainText);
    dialog_->setLabel(text);
    dialog_->setCancelButtonText(QStringLiteral("Cancel"));
    dialog_->setRange(0, maximum);
    // Not modal: the window's close button must work during the sequence, and its buttons
    // refuse to start anything while it runs.
    dialog_->setWindowModality(Qt::NonModal);
    // A quick file is read before a wait could be seen.
    dialog_->setMinimumDuration(maximum == 0 ? kWaitShownAfterMs : 0);
    dialog_->setAutoReset(false);
    dialog_->setAutoClose(false);
    dialog_->setValue(0);
}

Progress::~Progress()
{
    delete dialog_.data(); // unless its window went first
}

void Progress::setValue(int value)
{
    step_.value = value;
    if (Observer* observer = currentObserver()) {
        if (!canceled_ && observer->cancelAt(step_))
            cancel();
        return;
    }
    if (dialog_)
        dialog_->setValue(value);
}

void Progress::onCancel(std::function<void()> canceled)
{
    onCancel_ = std::move(canceled);
    if (dialog_)
        QObject::connect(dialog_, &QProgressDialog::canceled, dialog_, [this] { cancel(); });
}

void Progress::cancel()
{
    canceled_ = true;
    if (onCancel_)
        onCancel_();
}

bool Progress::wasCanceled() const
{
    return canceled_ || (dialog_ && dialog_->wasCanceled());
}

} // namespace tarvex::app::dialogs
