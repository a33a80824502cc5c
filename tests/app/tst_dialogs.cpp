// The file flows' dialogs: what the file dialog proposes and returns, when a progress's Cancel
// counts, and the differences dialog's buttons as the operator meets them; the addresses the
// network unit's dialog offers.
#include "app/dialogs.h"
#include "app/message_box.h"
#include "app/recent_addresses.h"

#include <QApplication>
#include <QDialogButtonBox>
#include <QLabel>
#include <QLayout>
#include <QLineEdit>
#include <QProgressDialog>
#include <QPushButton>
#include <QScreen>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>

#include <functional>

using namespace tarvex::app::dialogs;

namespace {

// Answers in the operator's place and remembers what was asked.
struct Answers : Observer
{
    Answers() { setObserver(this); }
    ~Answers() override { setObserver(nullptr); }

    std::optional<QString> chooseFile(const FileRequest& request) override
    {
        requests << request;
        return file;
    }
    bool cancelAt(const ProgressStep& step) override { return step.value == cancelAtValue; }

    std::optional<QString> file;
    QList<FileRequest> requests;
    int cancelAtValue = -1;
};

// Once the real dialog is open, hands it to act (which closes it).
void whenModalOpens(const std::function<void(QWidget*)>& act)
{
    auto* poll = new QTimer;
    QObject::connect(poll, &QTimer::timeout, [poll, act] {
        if (QWidget* dialog = QApplication::activeModalWidget()) {
            poll->deleteLater();
            poll->stop();
            act(dialog);
        }
    });
    poll->start(10);
}

QStringList buttonTexts(QWidget* dialog)
{
    QStringList texts;
    for (QAbstractButton* button : dialog->findChild<QDialogButtonBox*>()->buttons())
        texts << button->text();
    return texts;
}

} // namespace

class TestDialogs : public QObject
{
    Q_OBJECT
private slots:
    void recentAddressesPutTheLastUsedFirst_data()
    {
        QTest::addColumn<QStringList>("recent");
        QTest::addColumn<QString>("used");
        QTest::addColumn<QStringList>("after");
        QStringList ten;
        for (int n = 0; n < 10; ++n)
            ten << QStringLiteral("tcp://ts:%1").arg(4000 + n);
        QTest::newRow("a used one moves to the front")
            << QStringList{"tcp://a:1", "tcp://b:1", "tcp://c:1"} << "tcp://c:1"
            << QStringList{"tcp://c:1", "tcp://a:1", "tcp://b:1"};
        QTest::newRow("ten are kept")
            << ten << "rfc2217://new:1" << QStringList{"rfc2217://new:1"} + ten.mid(0, 9);
    }
    void recentAddressesPutTheLastUsedFirst()
    {
        QFETCH(QStringList, recent);
        QFETCH(QString, used);
        QFETCH(QStringList, after);
        QCOMPARE(tarvex::app::recent_addresses::afterUse(recent, used), after);
    }

    // A 300-character entry in the list of recent addresses, then the same typed and refused:
    // the dialog stays as wide as it opened, on the screen, the reason cut to fit.
    void addressDialogKeepsItsWidthWithALongAddress()
    {
        const QString address = "tcp://" + QString(300, u'h'); // refused: no port
        QRect opened, refused, screen;
        QList<QRect> buttons;
        QLabel* reason = nullptr;
        bool reasonFits = false;
        whenModalOpens([&](QWidget* dialog) {
            opened = dialog->frameGeometry();
            screen = dialog->screen()->availableGeometry();
            auto* edit = dialog->findChild<QLineEdit*>();
            edit->setText(address);
            QTest::keyClick(edit, Qt::Key_Return);
            dialog->layout()->activate();
            refused = dialog->frameGeometry();
            for (QAbstractButton* button : dialog->findChild<QDialogButtonBox*>()->buttons())
                buttons << QRect(button->mapToGlobal(QPoint()), button->size());
            for (QLabel* label : dialog->findChildren<QLabel*>())
                if (label->isVisible() && !label->buddy())
                    reason = label; // the prompt is the list's buddy
            // Shown whole at the width it has, not clipped by it.
            reasonFits = reason && reason->minimumSizeHint().width() <= reason->width();
            static_cast<QDialog*>(dialog)->reject();
        });

        QCOMPARE(chooseNetworkAddress(nullptr, {address}), std::nullopt);
        QVERIFY(screen.contains(opened));
        QCOMPARE(refused.width(), opened.width());
        QVERIFY(reasonFits);
        QCOMPARE(buttons.size(), 2);
        for (const QRect& button : buttons)
            QVERIFY(screen.contains(button));
    }

    void saveAddsTheSuffixAndRemembersTheFolder_data()
    {
        QTest::addColumn<QString>("chosen");
        QTest::addColumn<QString>("saved");
        QTest::newRow("suffix added") << "/srv/site/unit"
                                      << "/srv/site/unit.json";
        QTest::newRow("suffix kept") << "/srv/site/unit.JSON"
                                     << "/srv/site/unit.JSON";
    }
    void saveAddsTheSuffixAndRemembersTheFolder()
    {
        QFETCH(QString, chosen);
        QFETCH(QString, saved);
        Answers operatorAnswers;
        operatorAnswers.file = chosen;

        QCOMPARE(chooseFileToSave(nullptr, "Save", "KTX-1 2026-12-08.json", "*.json", ".json"),
                 saved);
        rememberFolderOf(saved); // as the flow does once the file is written
        chooseFileToOpen(nullptr, "Apply", "*.json");
        chooseFileToSave(nullptr, "Save", "KTX-2.json", "*.json", ".json");

        QCOMPARE(operatorAnswers.requests.size(), 3);
        QCOMPARE(operatorAnswers.requests[0].purpose, FileRequest::Purpose::Save);
        QVERIFY(operatorAnswers.requests[0].proposedPath.endsWith("/KTX-1 2026-12-08.json"));
        QCOMPARE(operatorAnswers.requests[1].proposedPath, QString("/srv/site"));
        QCOMPARE(operatorAnswers.requests[2].proposedPath, QString("/srv/site/KTX-2.json"));
    }

    // The operator types a name into the real dialog and presses Enter; an existing file is
    // replaced only once the question about it has been answered Yes.
    void typedNameIsTheFileSaved_data()
    {
        QTest::addColumn<QString>("typed");
        QTest::addColumn<QString>("existing");
        QTest::addColumn<QString>("saved");
        QTest::newRow("asked about the name with its suffix") << "backup.txt"
                                                              << "backup.txt.json"
                                                              << "backup.txt.json";
        QTest::newRow("quotes are part of the name") << R"(site "7" north.json)"
                                                     << ""
                                                     << R"(site "7" north.json)";
    }
    void typedNameIsTheFileSaved()
    {
        QFETCH(QString, typed);
        QFETCH(QString, existing);
        QFETCH(QString, saved);
        QTemporaryDir folder;
        if (!existing.isEmpty()) {
            QFile file(folder.filePath(existing));
            QVERIFY(file.open(QIODevice::WriteOnly));
        }
        QStringList questions;
        tarvex::app::message_box::setObserver([&](auto, const QString&, const QString& text) {
            questions << text;
            return true;
        });
        whenModalOpens([&](QWidget* dialog) {
            auto* name = dialog->findChild<QLineEdit*>("fileNameEdit");
            name->setText(typed);
            QTest::keyClick(name, Qt::Key_Return);
            if (dialog->isVisible())
                static_cast<QDialog*>(dialog)->reject();
        });

        const auto chosen = chooseFileToSave(nullptr, "Save", folder.filePath("proposed.json"),
                                             "Configuration files (*.json)", ".json");
        tarvex::app::message_box::setObserver({});
        QCOMPARE(chosen, folder.filePath(saved));
        QCOMPARE(questions, existing.isEmpty()
                                ? QStringList()
                                : QStringList{existing + " already exists.\n"
                                                         "Do you want to replace it?"});
    }

    void cancelledFileDialogGivesNothing()
    {
        Answers operatorAnswers; // answers no file
        QCOMPARE(chooseFileToSave(nullptr, "Save", "a.json", "*.json", ".json"), std::nullopt);
        QCOMPARE(chooseFileToOpen(nullptr, "Apply", "*.json"), std::nullopt);
    }

    void progressCancelCountsFromTheStepItWasPressedAt()
    {
        Answers operatorAnswers;
        operatorAnswers.cancelAtValue = 3;
        Progress progress(nullptr, "Reading the configuration...", 21);
        for (int value = 1; value <= 2; ++value)
            progress.setValue(value);
        QVERIFY(!progress.wasCanceled());
        progress.setValue(3);
        QVERIFY(progress.wasCanceled());
        progress.setValue(4);
        QVERIFY(progress.wasCanceled()); // pressed once stays pressed
    }

    void progressShowsItsCancelToTheOperator()
    {
        QWidget window;
        Progress progress(&window, "Reading the configuration...", 21);
        progress.setValue(1);
        auto* dialog = window.findChild<QProgressDialog*>();
        QVERIFY(dialog && dialog->isVisible());
        QVERIFY(!dialog->isModal());
        QCOMPARE(dialog->findChild<QLabel*>()->text(), QString("Reading the configuration..."));
        QVERIFY(!progress.wasCanceled());

        dialog->findChild<QPushButton*>()->click();
        QVERIFY(progress.wasCanceled());
    }

    void differencesDialogAnswers_data()
    {
        QTest::addColumn<bool>("offersWrite");
        QTest::addColumn<QStringList>("buttons");
        QTest::addColumn<QString>("pressed"); // "" for Enter
        QTest::addColumn<bool>("writes");
        QTest::newRow("Enter keeps Cancel")
            << true << QStringList{"Write", "Cancel"} << "" << false;
        QTest::newRow("Write") << true << QStringList{"Write", "Cancel"} << "Write" << true;
        QTest::newRow("Close only") << false << QStringList{"Close"} << "" << false;
    }
    void differencesDialogAnswers()
    {
        QFETCH(bool, offersWrite);
        QFETCH(QStringList, buttons);
        QFETCH(QString, pressed);
        QFETCH(bool, writes);
        const DifferencesRequest request{"Apply Configuration",
                                         {{"Phone 1", "<b>5550000000</b>", "5551111111"}},
                                         "The file was saved from <i>KTX-2</i>.",
                                         offersWrite};
        QStringList shownButtons;
        Qt::TextFormat noteFormat = Qt::RichText;
        whenModalOpens([&](QWidget* dialog) {
            shownButtons = buttonTexts(dialog);
            noteFormat = dialog->findChild<QLabel*>()->textFormat();
            for (QAbstractButton* button : dialog->findChildren<QPushButton*>())
                if (button->text() == pressed)
                    button->click();
            QTest::keyClick(dialog, Qt::Key_Return);
        });

        QCOMPARE(showDifferences(nullptr, request), writes);
        QCOMPARE(shownButtons, buttons);
        QCOMPARE(noteFormat, Qt::PlainText);
    }
};

QTEST_MAIN(TestDialogs)
#include "tst_dialogs.moc"
