// Upload from the main window: the thirteen reads put the unit's values into the controls,
// each as soon as its reply is in, and the configuration frame opens whatever the replies; the
// controls no whole reply came for are named once at the end.
#include "flow_support.h"
#include "support/scripted_unit.h"
#include "support/sim_process.h"

#include <QTemporaryDir>

using namespace flow;

class TestUploadFlow : public QObject
{
    Q_OBJECT
private slots:
    // With the simulator and the product's wait

    void readsTheUnitsConfiguration()
    {
        Recorder seen;
        QTemporaryDir dir;
        const QString state = dir.filePath("unit.json");
        QVERIFY(writeUnitState(state, unitState(3, "10100110", distinctPhones(), "5559999999")));
        SimProcess sim({"--state", state});
        QVERIFY(sim.start());
        frmMain w(portOne(sim.devicePath()));
        QVERIFY(show(w));
        const auto& ui = w.controls();
        click(ui.cmdConnect);

        click(ui.cmdUpLoad);

        QCOMPARE(ui.cmbNumPhones->currentText(), QString("3"));
        QCOMPARE(flagsShown(ui), QString("10100110"));
        QCOMPARE(phonesShown(ui), distinctPhones() << "5559999999");
        QVERIFY(ui.Frame2->isEnabled());
        QCOMPARE(ui.lblConn->text(), QString("KTX-210"));
        QVERIFY(!ui.txtEdit->isEnabled());
        QVERIFY(seen.boxes.isEmpty());
        QTRY_COMPARE(sim.log(), "?\r" + kUploadLines);
    }

    // A value reaches its control, a reply of another kind is ignored: one row each. How a
    // reply is read is tst_protocol's, where every rule has its row.

    void phoneCountReply_data()
    {
        QTest::addColumn<QByteArray>("leftover"); // late bytes of an exchange before the upload
        QTest::addColumn<QByteArray>("reply");
        QTest::addColumn<QString>("shown");
        QTest::newRow("digit") << QByteArray() << QByteArray("N7\r") << "7";
        QTest::newRow("other letter leaves it") << QByteArray() << QByteArray("Q5\r") << "4";
        QTest::newRow("a stalled unit's leftover is dropped first")
            << QByteArray("OK\r") << QByteArray("N6\r") << "6";
    }
    void phoneCountReply()
    {
        QFETCH(QByteArray, leftover);
        QFETCH(QByteArray, reply);
        QFETCH(QString, shown);
        ScriptedBench bench(kQuickWait, false);
        QVERIFY(bench.ready);
        bench.unit.answer("?N", reply);
        bench.ui->cmbNumPhones->setCurrentIndex(4); // as an earlier upload would have left it
        bench.unit.sendUnasked(leftover);
        QTest::qWait(20); // the window idles, and its port takes the bytes in

        click(bench.ui->cmdUpLoad);

        QCOMPARE(bench.ui->cmbNumPhones->currentText(), shown);
        QVERIFY(bench.ui->Frame2->isEnabled());
    }

    void eventMaskReply_data()
    {
        QTest::addColumn<QByteArray>("reply");
        QTest::addColumn<bool>("tickedBefore");
        QTest::addColumn<QString>("shown");
        QTest::newRow("hidden boxes included") << QByteArray("E10100001\r") << false << "10100001";
        QTest::newRow("other letter leaves them")
            << QByteArray("F00000000\r") << true << "11111111";
    }
    void eventMaskReply()
    {
        QFETCH(QByteArray, reply);
        QFETCH(bool, tickedBefore);
        QFETCH(QString, shown);
        ScriptedBench bench(kQuickWait, false);
        QVERIFY(bench.ready);
        bench.unit.answer("?E", reply);
        for (const auto* boxes : {&bench.ui->Check1, &bench.ui->Check2})
            for (QCheckBox* box : *boxes)
                box->setChecked(tickedBefore); // as an earlier upload would have left them

        click(bench.ui->cmdUpLoad);

        QCOMPARE(flagsShown(*bench.ui), shown);
    }

    void phoneReply_data()
    {
        QTest::addColumn<QByteArray>("command");
        QTest::addColumn<QByteArray>("reply");
        QTest::addColumn<int>("slot");
        QTest::addColumn<QString>("shown");
        QTest::newRow("test number")
            << QByteArray("?P:") << QByteArray("P:9876543210\r") << 10 << "9876543210";
        QTest::newRow("other letter leaves it")
            << QByteArray("?P3") << QByteArray("Q35550001112\r") << 3 << "0";
    }
    void phoneReply()
    {
        QFETCH(QByteArray, command);
        QFETCH(QByteArray, reply);
        QFETCH(int, slot);
        QFETCH(QString, shown);
        ScriptedBench bench(kQuickWait, false);
        QVERIFY(bench.ready);
        bench.unit.answer(command, reply);

        click(bench.ui->cmdUpLoad);

        QStringList expected(11, "0");
        expected[slot] = shown;
        QCOMPARE(phonesShown(*bench.ui), expected);
    }

    // Timing of what the technician sees

    // One warning names every control left as it was; a serial line gets no network advice.
    void silentUnitChangesNothingWarnsOnceAndOpensTheFrame()
    {
        ScriptedBench bench(kQuickWait, false);
        QVERIFY(bench.ready);

        click(bench.ui->cmdUpLoad);

        QCOMPARE(bench.ui->cmbNumPhones->currentText(), QString("0"));
        QCOMPARE(flagsShown(*bench.ui), QString("00000000"));
        QCOMPARE(phonesShown(*bench.ui), QStringList(11, "0"));
        QVERIFY(bench.ui->Frame2->isEnabled());
        QCOMPARE(bench.unit.received(), "?\r" + kUploadLines);
        QCOMPARE(bench.seen.titles(), QStringList{"Upload"});
        QCOMPARE(bench.seen.boxes.first().icon, Icon::Exclamation);
        QCOMPARE(bench.seen.boxes.first().text.section(u'\n', 1, 1),
                 "No. of Phones, the event switches, Phone No.1, Phone No.2, Phone No.3, "
                 "Phone No.4, Phone No.5, Phone No.6, Phone No.7, Phone No.8, Phone No.9, "
                 "Phone No.10, Test Phone No.");
        QVERIFY(!bench.seen.boxes.first().text.contains("delay"));
    }

    void valuesAppearOneAfterAnother()
    {
        ScriptedBench bench(kQuickWait, false);
        QVERIFY(bench.ready);
        bench.unit.answer("?N", "N7\r");
        bench.unit.answer("?E", "E11110000\r");
        for (int slot = 0; slot <= 10; ++slot) {
            const QByteArray digit(1, char('0' + slot));
            bench.unit.answer("?P" + digit, "P" + digit + QByteArray(10, char('A' + slot)) + "\r");
        }
        struct Seen
        {
            QString count, flags, phone9, testPhone;
            bool frameOpen;
        };
        QList<Seen> atEachWait;
        QObject::connect(&bench.w->exchange(), &tarvex::link::Link::waitStarted, bench.w.get(),
                         [&] {
                             const FormControls& ui = *bench.ui;
                             atEachWait.append({ui.cmbNumPhones->currentText(), flagsShown(ui),
                                                ui.txtPhone[9]->text(), ui.txtPhone[10]->text(),
                                                ui.Frame2->isEnabled()});
                         });

        click(bench.ui->cmdUpLoad);

        QCOMPARE(atEachWait.size(), 13);
        QCOMPARE(atEachWait[0].count, QString("0")); // while the count is being read
        QCOMPARE(atEachWait[1].count, QString("7")); // while the mask is being read
        QCOMPARE(atEachWait[1].flags, QString("00000000"));
        QCOMPARE(atEachWait[2].flags, QString("11110000"));
        QCOMPARE(atEachWait[11].phone9, QString("0")); // while slot 9 is being read
        QCOMPARE(atEachWait[12].phone9, QString("JJJJJJJJJJ"));
        QCOMPARE(atEachWait[12].testPhone, QString("0"));
        QVERIFY(!atEachWait[12].frameOpen);
        QCOMPARE(bench.ui->txtPhone[10]->text(), QString("KKKKKKKKKK"));
        QVERIFY(bench.ui->Frame2->isEnabled());
    }
};

QTEST_MAIN(TestUploadFlow)
#include "tst_upload_flow.moc"
