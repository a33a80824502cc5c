// Download from the main window: what reaches the unit (the simulator's log of every byte),
// in which order, and which warnings the technician meets on the way.
#include "flow_support.h"

#include <QTemporaryDir>

using namespace flow;
using namespace std::chrono_literals;

namespace {

const QString kShortNumber = QStringLiteral("Phone No. should be of 10 digits");

// The simulator holding ten distinct numbers and a test number, found and uploaded, so the
// configuration frame is open for the technician's edits.
struct LoadedUnit
{
    explicit LoadedUnit(const QString& mask = "00000000",
                        std::chrono::milliseconds wait = kQuickWait)
        : stateWritten(
              writeUnitState(statePath(), unitState(0, mask, distinctPhones(), "5559999999"))),
          bench(kQuickWait, true, QStringList{"--state", statePath()}), w(*bench.w), ui(*bench.ui)
    {
        w.exchange().setReplyWait(wait); // the set-up is quick; the step under test takes wait
        bench.seen.follow(w);
    }
    QString statePath() const { return dir.filePath("unit.json"); }
    bool ready() const
    {
        return stateWritten && bench.ready && bench.unit.log() == "?\r" + kUploadLines;
    }
    // The bytes the unit received after the upload.
    QByteArray written() const { return bench.unit.log().mid(2 + kUploadLines.size()); }
    const QStringList& events() const { return bench.seen.events; }

    QTemporaryDir dir;
    bool stateWritten;
    SimBench bench;
    frmMain& w;
    const FormControls& ui;
};

// Event boxes in the order of the mask: Check1(0..3), then Check2(0..3).
QCheckBox* eventBox(const FormControls& ui, int position)
{
    return position < 4 ? ui.Check1[position] : ui.Check2[position - 4];
}

} // namespace

class TestDownloadFlow : public QObject
{
    Q_OBJECT
private slots:
    // The phone count and the numbers in use

    void countZeroWritesNoPhone()
    {
        LoadedUnit unit;
        QVERIFY(unit.ready());
        retype(unit.ui.txtPhone[0], "12"); // past the count: neither tested nor written

        click(unit.ui.cmdDownLoad);

        QCOMPARE(unit.events(),
                 QStringList({"&N0\r", "&P:5559999999\r", "&E00000000\r", "[Download]"}));
        QTRY_COMPARE(unit.written(), QByteArray("&N0\r&P:5559999999\r&E00000000\r"));
    }

    void countTenWritesEverySlotInOrder()
    {
        LoadedUnit unit;
        QVERIFY(unit.ready());
        choosePhoneCount(unit.ui, 10);
        QCOMPARE(unit.ui.cmbNumPhones->currentText(), QString("10"));

        click(unit.ui.cmdDownLoad);

        QByteArray expected = "&N:\r";
        for (int slot = 0; slot < 10; ++slot)
            expected += QByteArray("&P") + char('0' + slot) + "555000000" + char('0' + slot) + "\r";
        expected += "&P:5559999999\r&E00000000\r";
        QTRY_COMPARE(unit.written(), expected);
        QCOMPARE(unit.bench.seen.titles(), QStringList({"Download"}));
    }

    void shortNumberIsWarnedAndSkipped()
    {
        LoadedUnit unit("00000000", tarvex::link::kReplyWait);
        QVERIFY(unit.ready());
        choosePhoneCount(unit.ui, 3);
        retype(unit.ui.txtPhone[1], "123456789");
        retype(unit.ui.txtPhone[5], "12"); // past the count: no warning

        click(unit.ui.cmdDownLoad);

        QCOMPARE(unit.events(),
                 QStringList({"&N3\r", "&P05550000000\r", "[Phone No.2]", "&P25550000002\r",
                              "&P:5559999999\r", "&E00000000\r", "[Download]"}));
        QCOMPARE(unit.bench.seen.boxes[0].icon, Icon::Exclamation);
        QCOMPARE(unit.bench.seen.boxes[0].text, kShortNumber);
        QTRY_COMPARE(unit.written(), QByteArray("&N3\r&P05550000000\r&P25550000002\r"
                                                "&P:5559999999\r&E00000000\r"));
    }

    void emptyTestNumberIsWarnedAndTheMaskStillWritten()
    {
        LoadedUnit unit;
        QVERIFY(unit.ready());
        retype(unit.ui.txtPhone[10], "");

        click(unit.ui.cmdDownLoad);

        QCOMPARE(unit.events(),
                 QStringList({"&N0\r", "[Test Phone No.]", "&E00000000\r", "[Download]"}));
        const QList<ShownBox>& boxes = unit.bench.seen.boxes;
        QCOMPARE(boxes[0].icon, Icon::Exclamation);
        QCOMPARE(boxes[0].text, kShortNumber);
        QCOMPARE(boxes[1].icon, Icon::Information);
        QCOMPARE(boxes[1].text, QString("Download Complete!"));
        QTRY_COMPARE(unit.written(), QByteArray("&N0\r&E00000000\r"));
    }

    void anyTenCharactersAreSentUnchanged_data()
    {
        QTest::addColumn<QString>("number");
        QTest::newRow("letters") << "ABCDEFGHIJ";
        QTest::newRow("leading space") << " 123456789";
    }
    void anyTenCharactersAreSentUnchanged()
    {
        QFETCH(QString, number);
        LoadedUnit unit;
        QVERIFY(unit.ready());
        choosePhoneCount(unit.ui, 1);
        retype(unit.ui.txtPhone[0], number);

        click(unit.ui.cmdDownLoad);

        QTRY_COMPARE(unit.written(),
                     "&N1\r&P0" + number.toLatin1() + "\r&P:5559999999\r&E00000000\r");
        QCOMPARE(unit.bench.seen.titles(), QStringList({"Download"}));
    }

    // Values the unit never had are written only when the technician confirms it.
    void writeWithoutAReadSinceTheScanAsksFirst_data()
    {
        QTest::addColumn<bool>("uploadThenRescan");
        QTest::addColumn<bool>("answerYes");
        QTest::addColumn<QStringList>("events");
        QTest::addColumn<QByteArray>("written");
        const QStringList startUpValues{"[Download?]", "&N0\r", "[Test Phone No.]", "&E00000000\r",
                                        "[Download]"};
        QTest::newRow("right after the scan, No")
            << false << false << QStringList{"[Download?]"} << QByteArray();
        QTest::newRow("right after the scan, Yes")
            << false << true << startUpValues << QByteArray("&N0\r&E00000000\r");
        QTest::newRow("after a rescan, No")
            << true << false << QStringList{"[Download?]"} << QByteArray();
    }
    void writeWithoutAReadSinceTheScanAsksFirst()
    {
        QFETCH(bool, uploadThenRescan);
        QFETCH(bool, answerYes);
        QFETCH(QStringList, events);
        QFETCH(QByteArray, written);
        SimBench bench(kQuickWait, uploadThenRescan, QStringList());
        QVERIFY(bench.ready);
        QByteArray before = "?\r";
        if (uploadThenRescan) {
            click(bench.ui->cmdConnect);
            before += kUploadLines + "?\r";
        }
        bench.seen.follow(*bench.w);
        bench.seen.answerYes = answerYes;

        click(bench.ui->cmdDownLoad);

        QCOMPARE(bench.seen.events, events);
        const ShownBox& question = bench.seen.boxes.constFirst();
        QCOMPARE(question.icon, Icon::Question);
        QCOMPARE(question.text, QString("The configuration has not been read from the unit. "
                                        "Write the values on screen to it anyway?"));
        click(bench.ui->cmdUpLoad); // its lines come after whatever the download wrote
        QTRY_VERIFY(bench.unit.log().endsWith(kUploadLines));
        QCOMPARE(bench.unit.log(), before + written + kUploadLines);
    }

    void completionIsShownWhenTheUnitNeverAnswers()
    {
        ScriptedBench bench(kQuickWait, true);
        QVERIFY(bench.ready);
        bench.seen.follow(*bench.w);
        choosePhoneCount(*bench.ui, 2);

        click(bench.ui->cmdDownLoad);

        QCOMPARE(bench.seen.events,
                 QStringList({"&N2\r", "[Phone No.1]", "[Phone No.2]", "[Test Phone No.]",
                              "&E00000000\r", "[Download]"}));
        QVERIFY(bench.unit.received().endsWith(kUploadLines + "&N2\r&E00000000\r"));
    }

    void editsDuringTheWriteDoNotChangeWhatIsWritten()
    {
        LoadedUnit unit;
        QVERIFY(unit.ready());
        choosePhoneCount(unit.ui, 2);
        DuringWait duringCount(unit.w, 1, [&] {
            choosePhoneCount(unit.ui, 5);
            retype(unit.ui.txtPhone[1], "1111111111");
        });

        click(unit.ui.cmdDownLoad);

        QVERIFY(duringCount.ran());
        QTRY_COMPARE(unit.written(), QByteArray("&N2\r&P05550000000\r&P15550000001\r"
                                                "&P:5559999999\r&E00000000\r"));
        QCOMPARE(unit.ui.cmbNumPhones->currentText(), QString("5")); // the edits stay on screen
        QCOMPARE(unit.ui.txtPhone[1]->text(), QString("1111111111"));
    }

    // The event mask

    void eventMask_data()
    {
        QTest::addColumn<QString>("uploaded");
        QTest::addColumn<QList<int>>("clicked");
        QTest::addColumn<QByteArray>("line");
        QTest::newRow("all ticked")
            << "00001110" << QList<int>{0, 1, 2, 3, 7} << QByteArray("&E11111111\r");
        QTest::newRow("first and test")
            << "00000000" << QList<int>{0, 7} << QByteArray("&E10000001\r");
        QTest::newRow("hidden read as ticked")
            << "00001110" << QList<int>{} << QByteArray("&E00001110\r");
    }
    void eventMask()
    {
        QFETCH(QString, uploaded);
        QFETCH(QList<int>, clicked);
        QFETCH(QByteArray, line);
        LoadedUnit unit(uploaded);
        QVERIFY(unit.ready());
        for (const int position : clicked)
            click(eventBox(unit.ui, position));

        click(unit.ui.cmdDownLoad);

        QTRY_COMPARE(unit.written(), "&N0\r&P:5559999999\r" + line);
    }

    void hiddenFlagsReadAsTickedAreWrittenAsOnes()
    {
        ScriptedBench bench(kQuickWait, false);
        QVERIFY(bench.ready);
        bench.unit.answer("?E", "E0000ab?0\r");
        click(bench.ui->cmdUpLoad);

        click(bench.ui->cmdDownLoad);

        QVERIFY(bench.unit.received().endsWith("&N0\r&E00001110\r"));
    }
};

QTEST_MAIN(TestDownloadFlow)
#include "tst_download_flow.moc"
