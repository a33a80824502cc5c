// The window built for Windows on a COM port, through the product's own Win32 serial code: the
// unit is a Linux tarvex-sim whose line on_com_port.sh has made COM<TARVEX_TEST_PORT> of the
// Wine prefix. Its log (TARVEX_TEST_SIM_LOG) is the proof of what reached the unit.
#include "app/flow_support.h"
#include "link/port_map.h"

using namespace flow;

namespace {

int portNumberUnderTest()
{
    return qEnvironmentVariableIntValue("TARVEX_TEST_PORT");
}

QByteArray simulatorLog()
{
    QFile log(qEnvironmentVariable("TARVEX_TEST_SIM_LOG"));
    return log.open(QIODevice::ReadOnly) ? log.readAll() : QByteArray("(no log)");
}

} // namespace

class TestWindowOnCom : public QObject
{
    Q_OBJECT
private slots:
    // With the product's 200 ms, on the port as --port N=COMN names it. (Not the whole
    // numbering: Wine makes COM1 of the machine's own /dev/ttyS0, which a test must not write.)
    void connectUploadEditAndSave()
    {
        const int number = portNumberUnderTest();
        QVERIFY2(number > 0, "TARVEX_TEST_PORT names no COM port");
        const auto ports = tarvex::link::PortMap::fromPortOptions(
            {QStringLiteral("%1=COM%1").arg(number)}, nullptr);
        QVERIFY(ports);
        Recorder seen;
        frmMain w(*ports);
        QVERIFY(show(w));
        const auto& ui = w.controls();

        click(ui.cmdConnect);
        QCOMPARE(ui.lblConn->text(), QString("KTX-210"));
        QCOMPARE(w.exchange().cm.deviceName(), QString("COM%1").arg(number));

        click(ui.cmdUpLoad);
        QCOMPARE(phonesShown(ui), QStringList(11, "0000000000"));
        QCOMPARE(flagsShown(ui), QString("00000000"));

        click(ui.cmdEdit[1]);
        QCOMPARE(ui.txtEdit->toPlainText(), QString("Power 2 is ON"));
        retype(ui.txtEdit, "Mains back\nat site 4");
        click(ui.cmdOK);

        QVERIFY(seen.boxes.isEmpty());
        QCOMPARE(simulatorLog(), QByteArray("?\r") + kUploadLines +
                                     QByteArray("?M1\r&M1Mains back\r\nat site 4\0\r", 30));
    }
};

QTEST_MAIN(TestWindowOnCom)
#include "tst_window_on_com.moc"
