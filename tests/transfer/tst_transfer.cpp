// Reading and writing the configuration over a real line to tarvex-sim.
#include "link/line_port.h"
#include "link/link.h"
#include "link/link_errors.h"
#include "plain_view.h"
#include "support/sim_process.h"
#include "transfer/configuration_transfer.h"
#include "transfer/message_text.h"

#include <QTest>
#include <QTimer>

#include <memory>

using namespace tarvex;
using namespace std::chrono_literals;

namespace {

// tarvex-sim behind port 1, opened, with an exchange of the given wait.
struct Line
{
    explicit Line(SimProcess& sim, std::chrono::milliseconds wait = 40ms)
        : cm(link::PortMap::pinned({{1, link::DeviceName::serial(sim.devicePath())}})),
          exchange(cm, wait)
    {
        opened = cm.SetOpen(true);
    }
    link::LinePort cm;
    link::Link exchange;
    bool opened = false;
};

PlainView sampleConfiguration()
{
    PlainView view;
    view.values.phoneCount = 3;
    view.values.phones = {"9876543210", "5551234567", "0123456789", "0", "0",         "0",
                          "0",          "0",          "0",          "0", "1112223334"};
    view.values.flags = {true, false, false, true, false, true, false, true};
    return view;
}

} // namespace

class TestTransfer : public QObject
{
    Q_OBJECT
private slots:
    void writtenConfigurationReadsBackTheSame()
    {
        SimProcess sim;
        QVERIFY(sim.start());
        Line line(sim); // the window's flow tests run both sequences with the real 200 ms
        QVERIFY(line.opened);
        PlainView written = sampleConfiguration();

        transfer::writeConfiguration(line.exchange, written);
        PlainView read;
        transfer::readConfiguration(line.exchange, read);

        QCOMPARE(written.notices, QStringList{"inform: Download: Download Complete!"});
        QCOMPARE(read.values.phoneCount, 3);
        QCOMPARE(read.values.phones[0], QString("9876543210"));
        QCOMPARE(read.values.phones[2], QString("0123456789"));
        QCOMPARE(read.values.phones[10], QString("1112223334"));
        QCOMPARE(read.values.flags, written.values.flags);
        QCOMPARE(sim.log(), QByteArray("&N3\r&P09876543210\r&P15551234567\r&P20123456789\r"
                                       "&P:1112223334\r&E10010101\r"
                                       "?N\r?E\r?P0\r?P1\r?P2\r?P3\r?P4\r?P5\r?P6\r?P7\r?P8\r"
                                       "?P9\r?P:\r"));
    }

    void writeTakesItsValuesWhenItStarts()
    {
        SimProcess sim;
        QVERIFY(sim.start());
        Line line(sim);
        QVERIFY(line.opened);
        PlainView view = sampleConfiguration();
        view.values.phoneCount = 2;
        // An edit during the first wait must not change what this write sends.
        QTimer::singleShot(10ms, [&view] {
            view.values.phoneCount = 5;
            view.values.phones[1] = "123";
            view.values.flags.fill(false);
        });

        transfer::writeConfiguration(line.exchange, view);

        QCOMPARE(sim.log(),
                 QByteArray("&N2\r&P09876543210\r&P15551234567\r&P:1112223334\r&E10010101\r"));
        QCOMPARE(view.notices.size(), 1);
    }

    void lostLineStopsTheWriteWithoutReportingCompletion()
    {
        SimProcess sim({"--hangup-after", "2"});
        QVERIFY(sim.start());
        Line line(sim);
        QVERIFY(line.opened);
        PlainView view = sampleConfiguration();

        QVERIFY_THROWS_EXCEPTION(link::LinkError,
                                 transfer::writeConfiguration(line.exchange, view));

        QVERIFY(view.notices.isEmpty());
        QCOMPARE(sim.log(), QByteArray("&N3\r&P09876543210\r"));
        QVERIFY(!line.cm.IsOpen());
    }

    void silentUnitChangesNothing()
    {
        SimProcess sim({"--silent"});
        QVERIFY(sim.start());
        Line line(sim);
        QVERIFY(line.opened);
        PlainView view = sampleConfiguration();
        const PlainView before = view;

        transfer::readConfiguration(line.exchange, view);

        QCOMPARE(view.values.phoneCount, before.values.phoneCount);
        QCOMPARE(view.values.phones, before.values.phones);
        QCOMPARE(view.values.flags, before.values.flags);
        QCOMPARE(sim.log().count('\r'), 13);
    }

    void messageWithLineBreaksRoundTrips()
    {
        SimProcess sim;
        QVERIFY(sim.start());
        Line line(sim, link::kReplyWait);
        QVERIFY(line.opened);
        const QString text = QString::fromLatin1("Netz 1 aus\nbitte pr\xfc"
                                                 "fen");

        QVERIFY(transfer::saveMessage(line.exchange, 7, text));
        QCOMPARE(transfer::readMessage(line.exchange, 7), text);
        QCOMPARE(sim.log(), QByteArray("&M7Netz 1 aus\r\nbitte pr\xfc"
                                       "fen\0\r?M7\r",
                                       33));
    }

    // Below the window's widgets nothing guards the encoding; the core must refuse, not
    // send "?" in place of the character.
    void textTheUnitCannotTakeIsNotSent()
    {
        SimProcess sim;
        QVERIFY(sim.start());
        Line line(sim);
        QVERIFY(line.opened);

        QVERIFY(!transfer::saveMessage(line.exchange, 0, QStringLiteral("5 \u20AC")));
        QVERIFY(!transfer::writePhoneNumber(line.exchange, 0, QStringLiteral("98765\u20AC4321")));
        QVERIFY(!line.cm.WriteText(QStringLiteral("&P0\u03A9\r")));
        QCOMPARE(sim.log(), QByteArray());
    }
};

QTEST_GUILESS_MAIN(TestTransfer)
#include "tst_transfer.moc"
