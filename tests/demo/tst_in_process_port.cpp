// The units of --demo in this process: a port whose numbers are the simulator's unit logic, and
// the transfer code reading and writing through it as it does through a serial line.
#include "demo/in_process_port.h"
#include "link/link.h"
#include "transfer/configuration_transfer.h"
#include "transfer/message_text.h"
#include "transfer/plain_view.h"

#include <QTest>

using namespace tarvex;
using namespace std::chrono_literals;

class TestInProcessPort : public QObject
{
    Q_OBJECT
private slots:
    void portOneIsSilentAndPortTwoIsTheUnit()
    {
        const auto port = demo::demoUnits();
        link::Link exchange(*port, 1ms);

        QVERIFY(port->SetPortNumber(1) && port->SetOpen(true));
        QCOMPARE(exchange.SendAndWait("?\r"), QString());
        QVERIFY(port->SetOpen(false) && port->SetPortNumber(2) && port->SetOpen(true));
        QCOMPARE(exchange.SendAndWait("?\r"), QString("KTX-210 Tarvex PSI\r"));
    }

    void refusesWhatASerialPortRefuses()
    {
        const auto port = demo::demoUnits();
        QVERIFY(!port->ReadAll());
        QCOMPARE(port->errorString(), QString("The port is not open"));
        QVERIFY(port->SetPortNumber(3) && !port->SetOpen(true));
        QCOMPARE(port->errorString(), QString("Port 3 has no device"));
        QVERIFY(!port->SetPortNumber(256));
        QVERIFY(port->SetPortNumber(2) && port->SetOpen(true));
        QVERIFY(!port->SetPortNumber(1));
        QVERIFY(!port->WriteText(QString::fromUtf8("?M0€\r")));
    }

    // Replies not read before the port closes are not there after it opens again.
    void openingAgainDropsUnreadReplies()
    {
        const auto port = demo::demoUnits();
        QVERIFY(port->SetPortNumber(2) && port->SetOpen(true) && port->WriteText("?\r"));
        QVERIFY(port->SetOpen(false) && port->SetOpen(true));
        QCOMPARE(port->ReadAll(), std::optional<QString>(QString()));
    }

    void writtenConfigurationAndMessageReadBackTheSame()
    {
        const auto port = demo::demoUnits();
        link::Link exchange(*port, 1ms);
        QVERIFY(port->SetPortNumber(2) && port->SetOpen(true));
        PlainView written;
        written.values.phoneCount = 2;
        written.values.phones[0] = "9876543210";
        written.values.phones[1] = "5551234567";
        written.values.phones[10] = "1112223334";
        written.values.flags = {true, false, false, true, false, true, false, true};

        transfer::writeConfiguration(exchange, written);
        QVERIFY(transfer::saveMessage(exchange, 7, "Test\nsecond line"));
        PlainView read;
        transfer::readConfiguration(exchange, read);

        QCOMPARE(read.values.phoneCount, 2);
        for (const int slot : {0, 1, 10}) // a write leaves the numbers past the count alone
            QCOMPARE(read.values.phones[slot], written.values.phones[slot]);
        QCOMPARE(read.values.flags, written.values.flags);
        QCOMPARE(transfer::readMessage(exchange, 7), QString("Test\nsecond line"));
        QCOMPARE(port->unit(2)->memory().eventMask, QByteArray("10010101"));
    }
};

QTEST_GUILESS_MAIN(TestInProcessPort)
#include "tst_in_process_port.moc"
