// When things go wrong: the unit hangs up in the middle of a flow, the technician clicks while
// the window waits for a reply, or closes the window. Ends with a full round trip into the
// unit's memory, the outcome all of this protects.
#include "flow_support.h"

#include <QApplication>
#include <QSerialPort>
#include <QSignalSpy>
#include <QTemporaryDir>

using namespace flow;
using tarvex::link::DeviceName;
using tarvex::link::kReplyWait;
using tarvex::link::PortMap;

namespace {

const QString kLostLine = QStringLiteral("The connection to the unit was lost.");

// The window once the line is gone: nothing left to talk to, and it says so.
bool showsDisconnected(frmMain& w)
{
    const auto& ui = w.controls();
    return ui.lblConn->text() == "Not Connected" && !ui.cmdUpLoad->isEnabled() &&
           !ui.cmdDownLoad->isEnabled() && !w.exchange().cm.IsOpen();
}

bool reportedLostLineOnce(const Recorder& seen, const QString& device)
{
    return seen.boxes.size() == 1 && seen.boxes[0].icon == Icon::Exclamation &&
           seen.boxes[0].title == "Connection" && seen.boxes[0].text.startsWith(kLostLine) &&
           seen.boxes[0].text.contains(device);
}

} // namespace

class TestFailures : public QObject
{
    Q_OBJECT
private slots:
    void initTestCase()
    {
        // Closing the window must not quit the test runner itself.
        QApplication::setQuitOnLastWindowClosed(false);
    }

    // The unit hangs up

    void lostLineStopsTheUpload()
    {
        QTemporaryDir dir;
        const QString state = dir.filePath("unit.json");
        QVERIFY(writeUnitState(state, unitState(6, "11000000", distinctPhones(), "5559999999")));
        SimBench bench(kReplyWait, false, QStringList{"--state", state, "--cut-after", "4"});
        QVERIFY(bench.ready);

        click(bench.ui->cmdUpLoad);

        QVERIFY2(reportedLostLineOnce(bench.seen, bench.unit.devicePath()),
                 qPrintable(bench.seen.titles().join(", ")));
        QVERIFY(showsDisconnected(*bench.w));
        QCOMPARE(bench.ui->cmbNumPhones->currentText(), QString("6")); // read before the loss
        QCOMPARE(flagsShown(*bench.ui), QString("11000000"));
        QCOMPARE(phonesShown(*bench.ui), QStringList(11, "0"));
        QVERIFY(!bench.ui->Frame2->isEnabled());
        QCOMPARE(bench.unit.log(), QByteArray("?\r?N\r?E\r?P0\r"));
    }

    void lostLineStopsTheDownloadWithoutCompletion()
    {
        // "?", thirteen reads, then the count is the last line the unit takes.
        SimBench bench(kQuickWait, true, QStringList{"--hangup-after", "15"});
        QVERIFY(bench.ready);
        bench.w->exchange().setReplyWait(kReplyWait); // the product's wait from here

        click(bench.ui->cmdDownLoad);

        QVERIFY2(reportedLostLineOnce(bench.seen, bench.unit.devicePath()),
                 qPrintable(bench.seen.titles().join(", ")));
        QVERIFY(showsDisconnected(*bench.w));
        QCOMPARE(bench.unit.log(), "?\r" + kUploadLines + "&N0\r");
    }

    void lostLineKeepsTheEditorAndItsText()
    {
        // "?", thirteen reads, the message read; the save is the sixteenth line, and the line
        // ends before its answer.
        SimBench bench(kQuickWait, true, QStringList{"--cut-after", "16"});
        QVERIFY(bench.ready);
        bench.w->exchange().setReplyWait(kReplyWait); // the product's wait from here
        click(bench.ui->cmdEdit[0]);
        retype(bench.ui->txtEdit, "Keep me");

        click(bench.ui->cmdOK);

        QVERIFY2(reportedLostLineOnce(bench.seen, bench.unit.devicePath()),
                 qPrintable(bench.seen.titles().join(", ")));
        QVERIFY(showsDisconnected(*bench.w));
        QVERIFY(editorIsOpen(*bench.ui));
        QCOMPARE(bench.ui->txtEdit->toPlainText(), QString("Keep me"));
        QCOMPARE(bench.ui->lblMsgNo->text(), QString("Edit Message No.1"));
        QVERIFY(bench.unit.log().endsWith(QByteArrayLiteral("?M0\r&M0Keep me\0\r")));
    }

    void unitGoneWhileIdleIsReportedOnce()
    {
        SimBench bench(kQuickWait, false, QStringList());
        QVERIFY(bench.ready);

        bench.unit.stop();

        QTRY_VERIFY(!bench.seen.boxes.isEmpty());
        QTest::qWait(200); // a second report would come now
        QVERIFY2(reportedLostLineOnce(bench.seen, bench.unit.devicePath()),
                 qPrintable(bench.seen.titles().join(", ")));
        QVERIFY(showsDisconnected(*bench.w));
    }

    // Clicks while the window waits for a reply

    void clicksDuringAScanStartNothing()
    {
        Recorder seen;
        SimProcess silent({"--silent"});
        SimProcess unit;
        QVERIFY(silent.start() && unit.start());
        frmMain w(PortMap::pinned({{1, DeviceName::serial(silent.devicePath())},
                                   {2, DeviceName::serial(unit.devicePath())}}),
                  kQuickWait);
        QVERIFY(show(w));
        const auto& ui = w.controls();
        QSignalSpy connectClicked(ui.cmdConnect, &QPushButton::clicked);
        DuringWait duringFirstProbe(w, 1, [&] { click(ui.cmdConnect); });

        click(ui.cmdConnect);

        QVERIFY(duringFirstProbe.ran());
        QCOMPARE(connectClicked.count(), 2); // the second click landed, and was refused
        QCOMPARE(ui.lblConn->text(), QString("KTX-210"));
        QCOMPARE(w.exchange().cm.portNumber(), 2);
        QTRY_COMPARE(unit.log(), QByteArray("?\r"));
        QCOMPARE(silent.log(), QByteArray("?\r")); // a nested scan would have probed it again
    }

    void clicksDuringAnUploadStartNothing()
    {
        SimBench bench(kQuickWait, true, QStringList());
        QVERIFY(bench.ready);
        frmMain& w = *bench.w;
        const FormControls& ui = *bench.ui;
        QTRY_COMPARE(bench.unit.log(), "?\r" + kUploadLines);
        QSignalSpy connectClicked(ui.cmdConnect, &QPushButton::clicked);
        QSignalSpy downloadClicked(ui.cmdDownLoad, &QPushButton::clicked);
        QSignalSpy editClicked(ui.cmdEdit[0], &QPushButton::clicked);
        bool busyCursor = false;
        bool stillEnabled = false;
        DuringWait duringMaskRead(w, 2, [&] {
            const QCursor* cursor = QApplication::overrideCursor();
            busyCursor = cursor && cursor->shape() == Qt::BusyCursor;
            for (QPushButton* button : {ui.cmdConnect, ui.cmdDownLoad, ui.cmdUpLoad, ui.cmdEdit[0]})
                click(button);
            stillEnabled = ui.cmdConnect->isEnabled() && ui.cmdDownLoad->isEnabled() &&
                           ui.cmdUpLoad->isEnabled() && ui.cmdEdit[0]->isEnabled();
        });

        click(ui.cmdUpLoad);

        QVERIFY(duringMaskRead.ran());
        QCOMPARE(connectClicked.count(), 1); // the clicks landed, and were refused
        QCOMPARE(downloadClicked.count(), 1);
        QCOMPARE(editClicked.count(), 1);
        QVERIFY(busyCursor);
        QVERIFY(stillEnabled);
        QTRY_COMPARE(bench.unit.log(), "?\r" + kUploadLines + kUploadLines);
        QCOMPARE(ui.lblConn->text(), QString("KTX-210"));
        QVERIFY(!ui.txtEdit->isEnabled());
        QVERIFY(bench.seen.boxes.isEmpty());
        QVERIFY(!QApplication::overrideCursor());
    }

    void saveAndCancelDuringASaveAreRefused()
    {
        ScriptedBench bench(kQuickWait, true);
        QVERIFY(bench.ready);
        frmMain& w = *bench.w;
        const FormControls& ui = *bench.ui;
        click(ui.cmdEdit[0]);
        typeText(ui.txtEdit, "abc");
        bool openDuringSave = false;
        DuringWait duringSave(w, 1, [&] {
            click(ui.cmdCancel);
            click(ui.cmdOK);
            openDuringSave = editorIsOpen(ui) && ui.txtEdit->toPlainText() == "abc";
        });

        click(ui.cmdOK);

        QVERIFY(duringSave.ran());
        QVERIFY(openDuringSave);
        QCOMPARE(bench.unit.received().count("&M0abc"), 1);
        QVERIFY(!ui.txtEdit->isEnabled());
    }

    void secondEditDuringAnOpenIsRefused()
    {
        ScriptedBench bench(kQuickWait, true);
        QVERIFY(bench.ready);
        frmMain& w = *bench.w;
        const FormControls& ui = *bench.ui;
        bench.unit.answer("?M0", QByteArrayLiteral("M0first\0\r"));
        bench.unit.answer("?M1", QByteArrayLiteral("M1second\0\r"));
        DuringWait duringOpen(w, 1, [&] { click(ui.cmdEdit[1]); });

        click(ui.cmdEdit[0]);

        QVERIFY(duringOpen.ran());
        QCOMPARE(ui.lblMsgNo->text(), QString("Edit Message No.1"));
        QCOMPARE(ui.txtEdit->toPlainText(), QString("first"));
        QVERIFY(!bench.unit.received().contains("?M1"));
    }

    // Closing the window

    void closingDuringAnUploadStopsIt()
    {
        SimBench bench(kReplyWait, false, QStringList());
        QVERIFY(bench.ready);
        frmMain& w = *bench.w;
        const FormControls& ui = *bench.ui;
        int waits = 0;
        QObject::connect(&w.exchange(), &tarvex::link::Link::waitStarted, &w, [&] { ++waits; });
        DuringWait duringFirstPhone(w, 3, [&] { w.close(); });

        click(ui.cmdUpLoad);

        QVERIFY(duringFirstPhone.ran());
        QVERIFY(!w.isVisible());
        QVERIFY(!w.session().isBusy());
        QCOMPARE(waits, 3);
        QTRY_COMPARE(bench.unit.log(), QByteArray("?\r?N\r?E\r?P0\r"));
        QTest::qWait(500); // longer than the next two exchanges would take
        QCOMPARE(bench.unit.log(), QByteArray("?\r?N\r?E\r?P0\r"));
        QVERIFY(bench.seen.boxes.isEmpty());

        bench.w.reset(); // what the end of the program does with the window
        QSerialPort otherProgram(bench.unit.devicePath());
        QVERIFY2(otherProgram.open(QIODevice::ReadWrite), qPrintable(otherProgram.errorString()));
    }

    // Everything together

    void roundTripLeavesTheNewConfigurationInTheUnit()
    {
        QTemporaryDir dir;
        const QString state = dir.filePath("unit.json");
        const QStringList messages{"On 1", "On 2", "Off 1", "Off 2", "In 1", "In 2", "In 3", "T"};
        QVERIFY(writeUnitState(state,
                               unitState(2, "10000000", distinctPhones(), "5559999999", messages)));
        SimBench bench(kQuickWait, true, QStringList{"--state", state});
        QVERIFY(bench.ready);
        const FormControls& ui = *bench.ui;

        choosePhoneCount(ui, 4);
        retype(ui.txtPhone[1], "0711111111");
        retype(ui.txtPhone[3], "0733333333");
        click(ui.Check1[1]);
        click(ui.Check2[3]);
        click(ui.cmdEdit[7]);
        retype(ui.txtEdit, "TEST");
        click(ui.cmdOK);
        click(ui.cmdDownLoad);

        QStringList phones = distinctPhones();
        phones[1] = "0711111111";
        phones[3] = "0733333333";
        QStringList newMessages = messages;
        newMessages[7] = "TEST";
        QTRY_COMPARE(readUnitState(state),
                     unitState(4, "11000001", phones, "5559999999", newMessages));
        QCOMPARE(bench.seen.titles(), QStringList({"Download"}));
    }
};

QTEST_MAIN(TestFailures)
#include "tst_failures.moc"
