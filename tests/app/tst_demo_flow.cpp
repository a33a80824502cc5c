// --demo: the window scans its in-process units, on every system.
#include "demo/in_process_port.h"
#include "flow_support.h"

using namespace flow;

class TestDemoFlow : public QObject
{
    Q_OBJECT
private slots:
    void demoUnitIsFoundOnPortTwoAfterProbingPortOne()
    {
        Recorder seen;
        frmMain w(tarvex::demo::demoUnits(), kQuickWait);
        QVERIFY(show(w));
        const auto& ui = w.controls();
        QList<int> probed;
        QObject::connect(&w.exchange(), &tarvex::link::Link::waitStarted, &w,
                         [&] { probed << w.exchange().cm.portNumber(); });

        click(ui.cmdConnect);

        QCOMPARE(probed, QList<int>({1, 2}));
        QCOMPARE(ui.lblConn->text(), QString("KTX-210"));
        QVERIFY(w.exchange().cm.IsOpen());
        QCOMPARE(w.exchange().cm.portNumber(), 2);
        QVERIFY(ui.cmdDownLoad->isEnabled());
    }

    // A newcomer's first Upload shows a unit in service, not zeros.
    void uploadShowsTheDemoUnitsConfiguration()
    {
        Recorder seen;
        frmMain w(tarvex::demo::demoUnits(), kQuickWait);
        QVERIFY(show(w));
        const auto& ui = w.controls();
        click(ui.cmdConnect);
        click(ui.cmdUpLoad);

        QCOMPARE(ui.cmbNumPhones->currentText(), QString("3"));
        QCOMPARE(flagsShown(ui), QString("11110000"));
        QCOMPARE(phonesShown(ui).mid(0, 3),
                 QStringList({"0412555101", "0412555102", "+614125551"}));
        QCOMPARE(phonesShown(ui).constLast(), QString("0412555199"));
    }
};

QTEST_MAIN(TestDemoFlow)
#include "tst_demo_flow.moc"
