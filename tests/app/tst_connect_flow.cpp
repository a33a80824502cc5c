// Connecting from the main window: one click on Connect scans the pinned ports, as a
// technician would, against simulators and scripted units on real pseudo-terminals.
#include "flow_support.h"
#include "support/scripted_unit.h"
#include "support/sim_process.h"

#include <QSerialPort>
#include <QSignalSpy>

using namespace flow;
using tarvex::link::DeviceName;
using tarvex::link::PortMap;

class TestConnectFlow : public QObject
{
    Q_OBJECT
private slots:
    // Finding the unit

    void firstAnsweringPortWinsAndStaysOpen()
    {
        Recorder seen;
        SimProcess silent({"--silent"});
        SimProcess unit;
        SimProcess above;
        QVERIFY(silent.start() && unit.start() && above.start());
        frmMain w(PortMap::pinned({{2, DeviceName::serial(silent.devicePath())},
                                   {5, DeviceName::serial(unit.devicePath())},
                                   {9, DeviceName::serial(above.devicePath())}}));
        QVERIFY(show(w));
        const auto& ui = w.controls();
        QStringList captionsWhileWaiting;
        QObject::connect(&w.exchange(), &tarvex::link::Link::waitStarted, &w,
                         [&] { captionsWhileWaiting << ui.lblConn->text(); });

        click(ui.cmdConnect);

        QCOMPARE(captionsWhileWaiting, QStringList({"Connecting...", "Connecting..."}));
        QCOMPARE(ui.lblConn->text(), QString("KTX-210"));
        QVERIFY(ui.cmdUpLoad->isEnabled());
        QVERIFY(ui.cmdDownLoad->isEnabled());
        QVERIFY(!ui.Frame2->isEnabled());
        QVERIFY(w.exchange().cm.IsOpen());
        QCOMPARE(w.exchange().cm.portNumber(), 5);
        QTRY_COMPARE(unit.log(), QByteArray("?\r"));
        QCOMPARE(silent.log(), QByteArray("?\r"));
        QCOMPARE(above.log(), QByteArray());
        QVERIFY(seen.boxes.isEmpty());
    }

    void identityIsShownAsPlainText()
    {
        Recorder seen;
        ScriptedUnit unit;
        QVERIFY(unit.start());
        unit.answer("?", "KTX<b>1</b>\r");
        frmMain w(portOne(unit.devicePath()), kQuickWait);
        QVERIFY(show(w));
        const auto& ui = w.controls();

        click(ui.cmdConnect);

        QCOMPARE(ui.lblConn->text(), QString("KTX<b>1"));
        QCOMPARE(ui.lblConn->textFormat(), Qt::PlainText);
        QVERIFY(ui.cmdUpLoad->isEnabled());
    }

    // Scans that find nothing

    void rescanThatFindsNothingClosesThePortAndDisablesTransfers()
    {
        Recorder seen;
        ScriptedUnit unit;
        QVERIFY(unit.start());
        unit.answer("?", "KTX-77 unit\r");
        unit.answer("?N", "N3\r");
        frmMain w(portOne(unit.devicePath()), kQuickWait);
        QVERIFY(show(w));
        const auto& ui = w.controls();
        click(ui.cmdConnect);
        click(ui.cmdUpLoad);
        QVERIFY(ui.Frame2->isEnabled());
        QCOMPARE(ui.cmbNumPhones->currentText(), QString("3"));

        unit.answer("?", "ktx-77 unit\r"); // no longer the identity the scan looks for
        click(ui.cmdConnect);

        QCOMPARE(ui.lblConn->text(), QString("Device not Found!"));
        QVERIFY(!w.exchange().cm.IsOpen());
        QVERIFY(!ui.cmdUpLoad->isEnabled());
        QVERIFY(!ui.cmdDownLoad->isEnabled());
        QVERIFY(ui.Frame2->isEnabled());
        QCOMPARE(ui.cmbNumPhones->currentText(), QString("3"));
        QCOMPARE(unit.received().count("?\r"), 2);
        QCOMPARE(seen.titles(), QStringList{"Upload"}); // of the upload, the count alone read
    }

    void scanWithNothingAnsweringKeepsTheStartState()
    {
        Recorder seen;
        ScriptedUnit mute;
        QVERIFY(mute.start());
        frmMain w(portOne(mute.devicePath()), kQuickWait);
        QVERIFY(show(w));
        const auto& ui = w.controls();

        click(ui.cmdConnect);
        click(ui.cmdConnect);

        QCOMPARE(ui.lblConn->text(), QString("Device not Found!"));
        QCOMPARE(mute.received(), QByteArray("?\r?\r"));
        QVERIFY(!w.exchange().cm.IsOpen());
        QVERIFY(!ui.cmdUpLoad->isEnabled());
        QVERIFY(!ui.Frame2->isEnabled());
        QVERIFY(ui.lblConn->toolTip().isEmpty());
    }

    void deviceHeldElsewhereIsNamedInTheTooltip()
    {
        Recorder seen;
        SimProcess unit;
        QVERIFY(unit.start());
        QSerialPort otherProgram(unit.devicePath());
        QVERIFY(otherProgram.open(QIODevice::ReadWrite));
        frmMain w(portOne(unit.devicePath()), kQuickWait);
        QVERIFY(show(w));
        const auto& ui = w.controls();

        click(ui.cmdConnect);

        QCOMPARE(ui.lblConn->text(), QString("Device not Found!"));
        QVERIFY2(ui.lblConn->toolTip().contains(unit.devicePath()),
                 qPrintable(ui.lblConn->toolTip()));
        QVERIFY(ui.lblConn->toolTip().contains("another program")); // no group to join
        QCOMPARE(unit.log(), QByteArray());
    }
};

QTEST_MAIN(TestConnectFlow)
#include "tst_connect_flow.moc"
