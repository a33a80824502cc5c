// The message editor: opening a slot reads its text from the unit, Save writes it back,
// Cancel abandons it; checked byte for byte on the line and on what the technician sees.
#include "flow_support.h"

using namespace flow;

namespace {

QByteArray slotDigit(int slot)
{
    return QByteArray(1, char('0' + slot));
}

bool editorIsIdle(const FormControls& ui)
{
    return ui.lblMsgNo->text().isEmpty() && ui.txtEdit->toPlainText().isEmpty() &&
           !ui.txtEdit->isEnabled() && !ui.cmdOK->isEnabled() && !ui.cmdCancel->isEnabled() &&
           ui.FrameEdit->isEnabled();
}

} // namespace

class TestEditorFlow : public QObject
{
    Q_OBJECT
private slots:
    // Opening a message

    void openShowsTheUnitsText_data()
    {
        QTest::addColumn<int>("slot");
        QTest::addColumn<QByteArray>("reply"); // empty: the unit does not answer
        QTest::addColumn<QString>("shown");
        QTest::newRow("any two characters, then a word") << 3 << QByteArray("xxWord") << "Word";
        QTest::newRow("the same on the test slot") << 7 << QByteArray("xxWord") << "Word";
        QTest::newRow("no reply") << 0 << QByteArray() << "";
        QTest::newRow("NUL third") << 0 << QByteArrayLiteral("M0\0left over\r") << "";
        QTest::newRow("cut to eighty")
            << 2 << "M2" + QByteArray(90, 'a') + QByteArrayLiteral("\0\r") << QString(80, 'a');
        QTest::newRow("a break counts two when cut")
            << 3 << "M3" + QByteArray(79, 'a') + QByteArrayLiteral("\r\nb\0\r") << QString(79, 'a');
    }
    void openShowsTheUnitsText()
    {
        QFETCH(int, slot);
        QFETCH(QByteArray, reply);
        QFETCH(QString, shown);
        ScriptedBench bench(kQuickWait, true);
        QVERIFY(bench.ready);
        if (!reply.isEmpty())
            bench.unit.answer("?M" + slotDigit(slot), reply);

        click(bench.ui->cmdEdit[slot]);

        QCOMPARE(bench.ui->txtEdit->toPlainText(), shown);
        QCOMPARE(bench.ui->lblMsgNo->text(), QString("Edit Message No.%1").arg(slot + 1));
        QVERIFY(editorIsOpen(*bench.ui));
        QVERIFY(bench.unit.received().endsWith("?M" + slotDigit(slot) + "\r"));
    }

    // Saving and abandoning

    void saveSendsTheSlotAndTheText_data()
    {
        QTest::addColumn<int>("slot");
        QTest::addColumn<QString>("typed");
        QTest::addColumn<QByteArray>("line");
        QTest::newRow("test slot") << 7 << "TEST" << QByteArrayLiteral("&M7TEST\0\r");
        QTest::newRow("empty text") << 0 << "" << QByteArrayLiteral("&M0\0\r");
        QTest::newRow("line break as CR LF")
            << 1 << "ab\ncd" << QByteArrayLiteral("&M1ab\r\ncd\0\r");
        const QByteArray latin1 = "&M3" + QString::fromUtf8("Grüße ").toLatin1() + '\0' + '\r';
        QTest::newRow("one byte per character, euro refused")
            << 3 << QString::fromUtf8("Grüße €") << latin1;
    }
    void saveSendsTheSlotAndTheText()
    {
        QFETCH(int, slot);
        QFETCH(QString, typed);
        QFETCH(QByteArray, line);
        ScriptedBench bench(kQuickWait, true);
        QVERIFY(bench.ready);
        click(bench.ui->cmdEdit[slot]);
        typeText(bench.ui->txtEdit, typed);

        click(bench.ui->cmdOK);

        QVERIFY2(bench.unit.received().endsWith("?M" + slotDigit(slot) + "\r" + line),
                 bench.unit.received().toPercentEncoding().constData());
        QVERIFY(editorIsIdle(*bench.ui));
    }

    void closingReturnsToIdle_data()
    {
        QTest::addColumn<bool>("save");
        QTest::newRow("save") << true;
        QTest::newRow("cancel") << false;
    }
    void closingReturnsToIdle()
    {
        QFETCH(bool, save);
        ScriptedBench bench(kQuickWait, true);
        QVERIFY(bench.ready);
        bench.unit.answer("?M1", QByteArrayLiteral("M1Hello\0\r"));
        click(bench.ui->cmdEdit[1]);
        QTest::keyClick(bench.ui->txtEdit, Qt::Key_End, Qt::ControlModifier);
        typeText(bench.ui->txtEdit, " you");
        QCOMPARE(bench.ui->lblChars->text(), QString("Chars: 9/80"));

        click(save ? bench.ui->cmdOK : bench.ui->cmdCancel);

        QVERIFY(editorIsIdle(*bench.ui));
        QCOMPARE(bench.ui->lblChars->text(), QString("Chars: 0/80"));
        QCOMPARE(bench.unit.received().contains("&M1Hello you"), save);
    }

    void cancelKeepsTheUnitsText()
    {
        ScriptedBench bench(kQuickWait, true);
        QVERIFY(bench.ready);
        bench.unit.answer("?M1", QByteArrayLiteral("M1Hello\0\r"));
        click(bench.ui->cmdEdit[1]);
        retype(bench.ui->txtEdit, "Changed");

        click(bench.ui->cmdCancel);
        click(bench.ui->cmdEdit[1]);

        QCOMPARE(bench.ui->txtEdit->toPlainText(), QString("Hello"));
        QVERIFY(!bench.unit.received().contains("&M"));
    }

    // The character count

    void counterFollowsTheTyping_data()
    {
        QTest::addColumn<QString>("typed");
        QTest::addColumn<QString>("kept");
        QTest::addColumn<int>("counted");
        QTest::newRow("line break counts two") << QString("ab\ncd") << QString("ab\ncd") << 6;
        QTest::newRow("typing stops at eighty") << QString(85, 'x') << QString(80, 'x') << 80;
        QTest::newRow("no room for a break") << QString(79, 'x') + "\n" << QString(79, 'x') << 79;
    }
    void counterFollowsTheTyping()
    {
        QFETCH(QString, typed);
        QFETCH(QString, kept);
        QFETCH(int, counted);
        ScriptedBench bench(kQuickWait, true);
        QVERIFY(bench.ready);
        click(bench.ui->cmdEdit[0]);

        typeText(bench.ui->txtEdit, typed);

        QCOMPARE(bench.ui->txtEdit->toPlainText(), kept);
        QCOMPARE(bench.ui->lblChars->text(), QString("Chars: %1/80").arg(counted));
    }

    // With the simulator and the product's wait

    void textWithALineBreakComesBackUnchanged()
    {
        SimBench bench(kQuickWait, true, QStringList());
        QVERIFY(bench.ready);
        bench.w->exchange().setReplyWait(tarvex::link::kReplyWait); // the product's wait from here
        click(bench.ui->cmdEdit[0]);
        retype(bench.ui->txtEdit, "Line one\nLine two");

        click(bench.ui->cmdOK);
        click(bench.ui->cmdEdit[0]);

        QCOMPARE(bench.ui->txtEdit->toPlainText(), QString("Line one\nLine two"));
        QCOMPARE(bench.ui->lblChars->text(), QString("Chars: 18/80"));
        QVERIFY(
            bench.unit.log().endsWith(QByteArrayLiteral("?M0\r&M0Line one\r\nLine two\0\r?M0\r")));
    }
};

QTEST_MAIN(TestEditorFlow)
#include "tst_editor_flow.moc"
