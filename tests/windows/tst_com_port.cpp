// The link's port on a COM port, through the product's own Win32 serial code, against a Linux
// tarvex-sim that on_com_port.sh has made COM<TARVEX_TEST_PORT> of the Wine prefix.
#include "link/line_port.h"
#include "link/link.h"
#include "transfer/message_text.h"

#include <QFile>
#include <QTest>

using namespace tarvex;

namespace {

link::PortMap portUnderTest()
{
    const int number = qEnvironmentVariableIntValue("TARVEX_TEST_PORT");
    return link::PortMap::pinned(
        {{1, link::DeviceName::serial(QStringLiteral("COM%1").arg(number))}});
}

} // namespace

class TestComPort : public QObject
{
    Q_OBJECT
private slots:
    // One byte per character both ways: what the unit stored is what was typed.
    void latin1TextGoesOutAndComesBackByteForByte()
    {
        link::LinePort cm(portUnderTest());
        link::Link exchange(cm);
        QVERIFY2(cm.SetOpen(true), qPrintable(cm.errorString()));
        const QString text = QString::fromUtf8("Café: 5°C ÿ");

        QVERIFY(transfer::saveMessage(exchange, 3, text));
        QCOMPARE(transfer::readMessage(exchange, 3), text);

        QFile log(qEnvironmentVariable("TARVEX_TEST_SIM_LOG"));
        QVERIFY(log.open(QIODevice::ReadOnly));
        const QByteArray sent("&M3Caf\xe9: 5\xb0" // "C" would join the hexadecimal escape
                              "C \xff\0\r?M3\r",
                              20);
        QCOMPARE(log.readAll(), sent);
    }
};

QTEST_GUILESS_MAIN(TestComPort)
#include "tst_com_port.moc"
