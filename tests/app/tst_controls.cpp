#include "app/form_controls.h"
#include "app/message_edit.h"
#include "app/phone_edit.h"
#include "app/window_look.h"
#include "hands.h"

#include <QApplication>
#include <QCheckBox>
#include <QClipboard>
#include <QComboBox>
#include <QGroupBox>
#include <QInputMethodEvent>
#include <QLabel>
#include <QPushButton>
#include <QSignalSpy>
#include <QStyleOptionButton>
#include <QTest>

#include <memory>

using namespace hands;
using namespace tarvex::app;
using namespace Qt::StringLiterals;

namespace {

using Widgets = QList<QWidget*>;

template <class Edit> void paste(Edit* edit, const QString& text)
{
    QGuiApplication::clipboard()->setText(text);
    edit->paste();
}

QString withNul(const QString& before, const QString& after)
{
    return before + QChar(0) + after;
}

// A control's caption and the width it needs from the control's left edge: the text and what
// the style puts around or before it. Controls without a caption give an empty text.
struct Caption
{
    QString text;
    int width = 0;
};

Caption captionOf(QWidget* control)
{
    const QFontMetrics metrics = control->fontMetrics();
    if (auto* label = qobject_cast<QLabel*>(control))
        return {label->text(), metrics.horizontalAdvance(label->text())};
    if (auto* box = qobject_cast<QCheckBox*>(control)) {
        QStyleOptionButton option;
        option.initFrom(box);
        const QRect text = box->style()->subElementRect(QStyle::SE_CheckBoxContents, &option, box);
        return {box->text(), text.left() + metrics.horizontalAdvance(box->text())};
    }
    if (auto* button = qobject_cast<QPushButton*>(control))
        return {button->text(), button->sizeHint().width()};
    if (auto* frame = qobject_cast<QGroupBox*>(control))
        return {frame->title(), frame->minimumSizeHint().width()};
    return {};
}

// The caption must lie within the control, and no visible control stacked above it (created
// later) may cover it.
void verifyCaptionFits(QWidget* control, const Caption& caption)
{
    const QRect reach(control->pos(), QSize(caption.width, control->fontMetrics().height()));
    const QByteArray what = caption.text.toUtf8();
    QVERIFY2(reach.width() <= control->width(), what);
    QVERIFY2(reach.height() <= control->height(), what);
    const QObjectList& siblings = control->parentWidget()->children();
    for (auto above = siblings.begin() + siblings.indexOf(control) + 1; above != siblings.end();
         ++above) {
        auto* sibling = qobject_cast<QWidget*>(*above);
        if (sibling != nullptr && sibling->isVisible())
            QVERIFY2(!sibling->geometry().intersects(reach), what);
    }
}

void showAndActivate(QWidget* window)
{
    window->show();
    window->activateWindow();
    QVERIFY(QTest::qWaitForWindowActive(window));
}

// The controls the Tab key visits, starting from the one with the focus.
Widgets tabRound()
{
    QWidget* start = QApplication::focusWidget();
    Widgets visited{start};
    for (int presses = 0; presses < 60; ++presses) {
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
        if (QApplication::focusWidget() == start)
            break;
        visited.append(QApplication::focusWidget());
    }
    return visited;
}

} // namespace

class ControlsTest : public QObject
{
    Q_OBJECT

    std::unique_ptr<QWidget> window_;
    FormControls c_;

private slots:
    void init()
    {
        window_ = std::make_unique<QWidget>();
        c_ = FormControls{};
        buildControls(window_.get(), c_);
    }
    void cleanup() { window_.reset(); }

    // The window as it starts.

    void phoneCountListHoldsZeroToTen()
    {
        QCOMPARE(c_.cmbNumPhones->count(), 11);
        for (int index = 0; index < c_.cmbNumPhones->count(); ++index)
            QCOMPARE(c_.cmbNumPhones->itemText(index), QString::number(index));
        QCOMPARE(c_.cmbNumPhones->currentIndex(), 0);
        QVERIFY(!c_.cmbNumPhones->isEditable());
    }

    void startsWithEmptyValuesAndOnlyConnectUsable()
    {
        QCOMPARE(c_.lblPhone[0]->text(), "Phone No.1:");
        QCOMPARE(c_.lblPhone[9]->text(), "Phone No.10:");
        for (PhoneEdit* box : c_.txtPhone)
            QCOMPARE(box->text(), "0");
        for (const auto& boxes : {c_.Check1, c_.Check2})
            for (QCheckBox* box : boxes)
                QVERIFY(!box->isChecked());
        QVERIFY(c_.txtEdit->toPlainText().isEmpty());
        QVERIFY(c_.lblMsgNo->text().isEmpty());
        QVERIFY(c_.lblChars->text().isEmpty());
        // Some labels show text from the unit, never to be read as markup.
        for (QLabel* label : window_->findChildren<QLabel*>())
            QCOMPARE(label->textFormat(), Qt::PlainText);

        showAndActivate(window_.get());
        QCOMPARE(QApplication::focusWidget(), c_.cmdConnect);
        for (QWidget* control :
             Widgets{c_.cmdUpLoad, c_.cmdDownLoad, c_.Frame2, c_.txtEdit, c_.cmdOK, c_.cmdCancel})
            QVERIFY(!control->isEnabled());
        // The input events exist and hold values but never show.
        for (int row = 0; row < 3; ++row) {
            QVERIFY(!c_.Check2[row]->isVisible());
            QVERIFY(!c_.cmdEdit[4 + row]->isVisible());
        }
        QVERIFY(c_.Check2[3]->isVisible());
        QVERIFY(c_.cmdEdit[7]->isVisible());
    }

    void artworkIsBuiltIn()
    {
        const QList<QSize> iconSizes = windowIcon().availableSizes();
        QVERIFY(iconSizes.contains(QSize(32, 32)));
        QVERIFY(iconSizes.contains(QSize(16, 16)));
        QCOMPARE(c_.Image1->pixmap().size(), QSize(583, 238));
    }

    // The look at 96 DPI.

    void captionsFitAtTheirPlaces()
    {
        // Texts that labels show later must fit as well.
        c_.lblConn->setText(u"Device not Found!"_s);
        c_.lblMsgNo->setText(u"Edit Message No.8"_s);
        c_.lblChars->setText(u"Chars: 80/80"_s);
        window_->show();
        QVERIFY(QTest::qWaitForWindowExposed(window_.get()));
        int checked = 0;
        for (QWidget* control : window_->findChildren<QWidget*>()) {
            const Caption caption = captionOf(control);
            if (control->isVisible() && !caption.text.isEmpty()) {
                verifyCaptionFits(control, caption);
                ++checked;
            }
        }
        QVERIFY2(checked > 0, "no control with a caption is visible");
    }

    void checkIndicatorsStayInsideTheirBoxes()
    {
        for (const auto& boxes : {c_.Check1, c_.Check2}) {
            for (QCheckBox* box : boxes) {
                QStyleOptionButton option;
                option.initFrom(box);
                const QRect indicator =
                    box->style()->subElementRect(QStyle::SE_CheckBoxIndicator, &option, box);
                QVERIFY2(box->rect().contains(indicator), qPrintable(box->text()));
            }
        }
    }

    // Focus and inertness.

    void focusFollowsTheTabOrderInEachState()
    {
        showAndActivate(window_.get());
        const Widgets phones(c_.txtPhone.begin(), c_.txtPhone.begin() + 10);
        QCOMPARE(tabRound(), Widgets{c_.cmdConnect}); // not connected: nothing else takes it

        for (QWidget* control : Widgets{c_.cmdUpLoad, c_.cmdDownLoad, c_.Frame2})
            control->setEnabled(true);
        const Widgets numbers =
            Widgets{c_.cmdConnect, c_.cmdUpLoad, c_.cmdDownLoad, c_.cmbNumPhones} + phones +
            Widgets{c_.txtPhone[10]};
        const Widgets events{c_.Check1[0],  c_.Check1[1],  c_.Check1[2],  c_.Check1[3],
                             c_.Check2[3],  c_.cmdEdit[0], c_.cmdEdit[1], c_.cmdEdit[2],
                             c_.cmdEdit[3], c_.cmdEdit[7]};
        QCOMPARE(tabRound(), numbers + events);

        // Editing a message: the events are inert, the editor takes part.
        c_.FrameEdit->setEnabled(false);
        for (QWidget* control : Widgets{c_.txtEdit, c_.cmdOK, c_.cmdCancel})
            control->setEnabled(true);
        const Widgets editing = numbers + Widgets{c_.txtEdit, c_.cmdOK, c_.cmdCancel};
        QCOMPARE(tabRound(), editing);
    }

    void disabledFrameMakesItsControlsInert()
    {
        showAndActivate(window_.get());
        QSignalSpy editClicks(c_.cmdEdit[0], &QPushButton::clicked);
        const auto touchEverything = [this] {
            click(c_.Check1[0]);
            click(c_.Check2[3]);
            click(c_.cmdEdit[0]);
            QTest::keyClicks(c_.txtPhone[0], u"5"_s);
            QTest::keyClick(c_.cmbNumPhones, Qt::Key_Down);
        };

        touchEverything();
        QVERIFY(!c_.Check1[0]->isChecked());
        QVERIFY(!c_.Check2[3]->isChecked());
        QCOMPARE(editClicks.count(), 0);
        QCOMPARE(c_.txtPhone[0]->text(), "0");
        QCOMPARE(c_.cmbNumPhones->currentIndex(), 0);
        // Their own flags are untouched: enabling the frame alone brings them back.
        QVERIFY(!c_.txtPhone[0]->testAttribute(Qt::WA_ForceDisabled));
        QVERIFY(c_.txtEdit->testAttribute(Qt::WA_ForceDisabled));

        c_.Frame2->setEnabled(true);
        touchEverything();
        QVERIFY(c_.Check1[0]->isChecked());
        QVERIFY(c_.Check2[3]->isChecked());
        QCOMPARE(editClicks.count(), 1);
        QCOMPARE(c_.txtPhone[0]->text(), "05");
        QCOMPARE(c_.cmbNumPhones->currentIndex(), 1);
        QVERIFY(!c_.txtEdit->isEnabled());
        QVERIFY(!c_.cmdOK->isEnabled());
    }

    void enterPressesNoButton()
    {
        // Wherever the focus is, a button with it included: only a click or Space presses one.
        showAndActivate(window_.get());
        for (QWidget* control : window_->findChildren<QWidget*>())
            control->setEnabled(true);
        std::vector<std::unique_ptr<QSignalSpy>> clicks;
        for (QPushButton* button : window_->findChildren<QPushButton*>())
            clicks.push_back(std::make_unique<QSignalSpy>(button, &QPushButton::clicked));

        for (QWidget* control : tabRound()) {
            QTest::keyClick(control, Qt::Key_Return);
            QTest::keyClick(control, Qt::Key_Enter, Qt::KeypadModifier);
        }
        for (const auto& spy : clicks)
            QCOMPARE(spy->count(), 0);
    }

    // The phone boxes.

    void phoneBoxTakesTenStorableCharacters()
    {
        PhoneEdit box;
        QTest::keyClicks(&box, u"+4412345678901"_s);
        QCOMPARE(box.text(), "+441234567");
        box.clear();
        paste(&box, u"0123456789ABC"_s);
        QCOMPARE(box.text(), "0123456789");

        box.clear();
        typeText(&box, u"1€2ā3é"_s);
        QCOMPARE(box.text(), "123é");
        // A paste holding any character the unit cannot store is refused whole.
        for (const QString& clip : {u"45€"_s, u"ā"_s, withNul(u"4"_s, u"5"_s)}) {
            paste(&box, clip);
            QCOMPARE(box.text(), "123é");
        }
    }

    // The message editor.

    void messageStopsAtTheLimit()
    {
        MessageEdit edit;
        QTest::keyClicks(&edit, QString(85, u'a'));
        QCOMPARE(edit.toPlainText(), QString(MessageEdit::kLimit, u'a'));
        // At the limit a selection can still be typed over.
        edit.selectAll();
        QTest::keyClicks(&edit, u"x"_s);
        QCOMPARE(edit.toPlainText(), "x");
    }

    void lineBreakCountsAsTwo()
    {
        MessageEdit edit;
        QTest::keyClicks(&edit, QString(79, u'a'));
        QTest::keyClick(&edit, Qt::Key_Return);
        QCOMPARE(edit.wireLength(), 79);
        QVERIFY(!edit.toPlainText().contains(u'\n'));

        QTest::keyClick(&edit, Qt::Key_Backspace);
        QTest::keyClick(&edit, Qt::Key_Return, Qt::ShiftModifier);
        QCOMPARE(edit.wireLength(), 80);
        // An ordinary line break, not a soft one: the unit knows only CR LF.
        QCOMPARE(edit.document()->blockCount(), 2);
        QTest::keyClicks(&edit, u"b"_s);
        QCOMPARE(edit.wireLength(), 80);
    }

    void pasteIsCutToFit_data()
    {
        QTest::addColumn<int>("typed");
        QTest::addColumn<QString>("clip");
        QTest::addColumn<QString>("added");
        QTest::newRow("cut at the limit") << 75 << u"bcdefgh"_s << u"bcdef"_s;
        QTest::newRow("line break that fits") << 77 << u"b\ncd"_s << u"b\n"_s;
        QTest::newRow("line break that does not") << 78 << u"b\nc"_s << u"b"_s;
        QTest::newRow("CR LF is one break") << 0 << u"one\r\ntwo"_s << u"one\ntwo"_s;
        QTest::newRow("lone CR is one break") << 0 << u"one\rtwo"_s << u"one\ntwo"_s;
        QTest::newRow("lone CR counts as two") << 78 << u"b\rc"_s << u"b"_s;
        QTest::newRow("no room") << 80 << u"b"_s << QString();
    }

    void pasteIsCutToFit()
    {
        QFETCH(int, typed);
        QFETCH(QString, clip);
        QFETCH(QString, added);
        MessageEdit edit;
        QTest::keyClicks(&edit, QString(typed, u'a'));
        paste(&edit, clip);
        QCOMPARE(edit.toPlainText(), QString(typed, u'a') + added);
    }

    void messageRefusesCharactersTheUnitCannotStore()
    {
        MessageEdit edit;
        typeText(&edit, u"€ok ā"_s);
        QCOMPARE(edit.toPlainText(), "ok ");
        for (const QString& clip : {u"more €"_s, withNul(u"a"_s, u"b"_s)}) {
            paste(&edit, clip);
            QCOMPARE(edit.toPlainText(), "ok ");
        }
        paste(&edit, u"Café\u00A02"_s);
        QCOMPARE(edit.messageText(), u"ok Café\u00A02"_s); // the no-break space stays one

        // Input methods commit their text without key events.
        QInputMethodEvent composed;
        composed.setCommitString(u"€"_s);
        QApplication::sendEvent(&edit, &composed);
        QCOMPARE(edit.messageText(), u"ok Café\u00A02"_s);
    }
};

QTEST_MAIN(ControlsTest)
#include "tst_controls.moc"
