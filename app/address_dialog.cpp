#include "app/dialogs.h"
#include "app/dialogs_observer.h"
#include "app/modal_answer.h"
#include "net/line_address.h"

#include <QComboBox>
#include <QDialog>
#include <QDialogButtonBox>
#include <QFontMetrics>
#include <QLabel>
#include <QLineEdit>
#include <QVBoxLayout>

namespace tarvex::app::dialogs {
namespace {

const QString kTitle = QStringLiteral("Connect to Network Unit");

// The reason as the label can wrap it: a word wider than width (a long address quoted) is cut
// in the middle, so that the dialog keeps its width and its buttons stay on the screen.
QString wrappable(const QString& reason, const QFont& font, int width)
{
    const QFontMetrics metrics(font);
    QStringList words = reason.split(u' ');
    for (QString& word : words)
        word = metrics.elidedText(word, Qt::ElideMiddle, width);
    return words.join(u' ');
}

// Stays open while the address is malformed, and says why under the list. Neither a long entry
// of the list nor a long reason widens it.
class AddressDialog : public QDialog
{
public:
    AddressDialog(QWidget* parent, const QStringList& recent)
        : QDialog(parent), addresses_(new QComboBox(this)), refusal_(new QLabel(this))
    {
        setWindowTitle(kTitle);
        addresses_->setEditable(true);
        addresses_->setInsertPolicy(QComboBox::NoInsert);
        addresses_->addItems(recent);
        addresses_->setMinimumContentsLength(36);
        addresses_->setSizeAdjustPolicy(QComboBox::AdjustToMinimumContentsLengthWithIcon);
        addresses_->lineEdit()->setPlaceholderText(QStringLiteral("tcp://HOST:PORT"));
        refusal_->setTextFormat(Qt::PlainText);
        refusal_->setWordWrap(true);
        refusal_->hide();
        auto* prompt =
            new QLabel(QStringLiteral("&Address of the terminal server's port (tcp://HOST:PORT or "
                                      "rfc2217://HOST:PORT):"),
                       this);
        prompt->setBuddy(addresses_);
        auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this);
        connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
        connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
        auto* layout = new QVBoxLayout(this);
        layout->addWidget(prompt);
        layout->addWidget(addresses_);
        layout->addWidget(refusal_);
        layout->addWidget(buttons);
    }

    const std::optional<link::LineAddress>& address() const { return address_; }

    void accept() override
    {
        QString refusal;
        address_ = link::parseLineAddress(addresses_->currentText().trimmed(), &refusal);
        if (address_) {
            QDialog::accept();
            return;
        }
        refusal_->setText(wrappable(refusal, refusal_->font(), addresses_->width()));
        refusal_->show();
    }

private:
    QComboBox* addresses_;
    QLabel* refusal_;
    std::optional<link::LineAddress> address_;
};

std::optional<link::LineAddress> askObserver(Observer& observer, const QStringList& recent)
{
    AddressRequest request{kTitle, recent, QString()};
    for (;;) {
        const std::optional<QString> given =
            answerAsModal<std::optional<QString>>([&] { return observer.chooseAddress(request); });
        if (!given)
            return std::nullopt;
        if (auto address = link::parseLineAddress(given->trimmed(), &request.refusal))
            return address;
    }
}

} // namespace

std::optional<link::LineAddress> chooseNetworkAddress(QWidget* parent, const QStringList& recent)
{
    if (Observer* observer = currentObserver())
        return askObserver(*observer, recent);
    AddressDialog dialog(parent, recent);
    if (dialog.exec() != QDialog::Accepted)
        return std::nullopt;
    return dialog.address();
}

} // namespace tarvex::app::dialogs
