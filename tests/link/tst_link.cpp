// The serial port and the reply wait, on real pseudo-terminals against tarvex-sim.
#include "link/line_port.h"
#include "link/link.h"
#include "link/link_errors.h"
#include "support/sim_process.h"

#include <QFile>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>

#include <cerrno>
#include <cstring>
#include <sys/stat.h>

using namespace tarvex::link;
using namespace std::chrono_literals;

namespace {

const QString kDeviceGone = QStringLiteral("the device was removed or stopped answering");

// A simulator started with options, and the port pinned to it as number 1, opened.
struct OpenLine
{
    explicit OpenLine(const QStringList& options = {})
        : sim(options), started(sim.start()),
          cm(PortMap::pinned({{1, DeviceName::serial(sim.devicePath())}}))
    {
        opened = started && cm.SetPortNumber(1) && cm.SetOpen(true);
    }
    SimProcess sim;
    bool started;
    LinePort cm;
    bool opened = false;
};

} // namespace

class TestLink : public QObject
{
    Q_OBJECT
private slots:
    void replyIsReadAfterTheFullWait()
    {
        OpenLine line;
        QVERIFY2(line.opened, qPrintable(line.cm.errorString()));
        Link link(line.cm);
        QSignalSpy waits(&link, &Link::waitStarted);

        const QString reply = link.SendAndWait("?\r");

        QVERIFY2(reply.startsWith("KTX"), qPrintable(reply));
        QCOMPARE(link.lastReply(), reply);
        QCOMPARE(link.sentLine(), QString("?\r"));
        QVERIFY(link.timeUp());
        QCOMPARE(waits.count(), 1);
        QCOMPARE(line.sim.log(), QByteArray("?\r"));
    }

    void silentUnitGivesAnEmptyReply()
    {
        OpenLine line({"--silent"});
        QVERIFY(line.opened);
        Link link(line.cm);
        QCOMPARE(link.SendAndWait("?N\r"), QString());
        QCOMPARE(line.sim.log(), QByteArray("?N\r"));
    }

    void lateReplyComesAtTheFrontOfTheNextExchange()
    {
        OpenLine line({"--delay", "300"});
        QVERIFY(line.opened);
        Link link(line.cm);

        QCOMPARE(link.SendAndWait("?N\r"), QString());
        QTest::qWait(250); // the late answer lands between the two exchanges
        const QString next = link.SendAndWait("?E\r");
        QVERIFY2(next.startsWith("N0\r"), qPrintable(next));
    }

    void readAllWithNothingReceivedIsEmptyNotAFailure()
    {
        OpenLine line;
        QVERIFY(line.opened);
        const auto text = line.cm.ReadAll();
        QVERIFY(text.has_value());
        QVERIFY(text->isEmpty());
    }

    void closedOrMissingPortsFailAndStayClosed()
    {
        LinePort cm(PortMap::pinned({{1, DeviceName::serial("/dev/tarvex-no-such-device")}}));
        QVERIFY(!cm.SetOpen(true)); // number 1 has a device that does not exist
        QVERIFY(!cm.IsOpen());
        QVERIFY(!cm.errorString().isEmpty());
        QVERIFY(cm.SetPortNumber(2));
        QVERIFY(!cm.SetOpen(true)); // number 2 has no device at all
        QVERIFY(!cm.IsOpen());
        QVERIFY(!cm.WriteText("?\r"));
        QVERIFY(!cm.ReadAll().has_value());
        QVERIFY(!cm.SetOpen(false));
        QVERIFY(!cm.SetPortNumber(0));
        QVERIFY(!cm.SetPortNumber(256));
        QCOMPARE(cm.portNumber(), 2);
    }

    // What a hostile run put on the port numbers: none opens, none hangs the program.
    void nonSerialDevicesFailToOpen_data()
    {
        QTest::addColumn<QString>("kind");
        QTest::newRow("null device") << "/dev/null";
        QTest::newRow("zero device") << "/dev/zero";
        QTest::newRow("regular file") << "file";
        QTest::newRow("directory") << "directory";
        QTest::newRow("FIFO") << "fifo";
    }
    void nonSerialDevicesFailToOpen()
    {
        QFETCH(QString, kind);
        QTemporaryDir dir;
        QString device = kind;
        if (kind == "file") {
            device = dir.filePath("file");
            QFile file(device);
            QVERIFY(file.open(QIODevice::WriteOnly));
        } else if (kind == "directory") {
            device = dir.path();
        } else if (kind == "fifo") {
            device = dir.filePath("fifo");
            QCOMPARE(::mkfifo(QFile::encodeName(device).constData(), 0600), 0);
        }
        LinePort cm(PortMap::pinned({{1, DeviceName::serial(device)}}));
        QVERIFY(!cm.SetOpen(true));
        QVERIFY(!cm.IsOpen());
        QVERIFY(!cm.errorString().isEmpty());
    }

    void portNumberCannotChangeWhileOpen()
    {
        OpenLine line;
        QVERIFY(line.opened);
        QVERIFY(!line.cm.SetPortNumber(2));
        QCOMPARE(line.cm.portNumber(), 1);
        QVERIFY(!line.cm.SetOpen(true));
        QVERIFY(line.cm.IsOpen());
    }

    void secondOpenOfTheSameDeviceIsRefusedForPermission()
    {
        OpenLine first;
        QVERIFY(first.opened);
        LinePort second(PortMap::pinned({{1, DeviceName::serial(first.sim.devicePath())}}));
        QVERIFY(!second.SetOpen(true));
        QVERIFY(second.openRefusedForPermission());
    }

    void bytesSentBeforeAnOpenAreNotReadAsAReply()
    {
        OpenLine line({"--delay", "100"});
        QVERIFY(line.opened);
        Link link(line.cm, 10ms);
        link.SendAndWait("?\r");
        QVERIFY(line.cm.SetOpen(false));
        QTest::qWait(300); // the answer arrives while the port is closed
        QVERIFY(line.cm.SetOpen(true));
        QCOMPARE(link.SendAndWait("?N\r"), QString());
    }

    void hangupIsReportedOnceAndClosesThePort()
    {
        OpenLine line({"--hangup-after", "1"});
        QVERIFY(line.opened);
        Link link(line.cm);
        QSignalSpy lost(&line.cm, &Port::deviceLost);

        try {
            link.SendAndWait("?\r"); // the line may already be gone when the wait ends
        } catch (const LinkError&) {
        }
        if (lost.isEmpty())
            QVERIFY(lost.wait(2000));
        QTest::qWait(100); // a storm of errors would show up here

        QCOMPARE(lost.count(), 1);
        QCOMPARE(lost.at(0).at(0).toString(), line.sim.devicePath());
        QCOMPARE(lost.at(0).at(1).toString(), kDeviceGone); // the system's text adds nothing
        QVERIFY(!line.cm.IsOpen());
        try {
            link.SendAndWait("?N\r");
            QFAIL("an exchange on a lost line went through");
        } catch (const LinkError& error) {
            QCOMPARE(error.reason(), kDeviceGone);
        }
    }

    void lossReasonKeepsOnlyASystemTextThatSaysMore_data()
    {
        QTest::addColumn<QString>("systemText");
        QTest::addColumn<QString>("reason");
        QTest::newRow("none") << "" << kDeviceGone;
        QTest::newRow("stale ioctl error")
            << QString::fromLocal8Bit(std::strerror(ENOTTY)) << kDeviceGone;
        QTest::newRow("input/output error")
            << QString::fromLocal8Bit(std::strerror(EIO)) << kDeviceGone;
        QTest::newRow("one that tells more")
            << "Permission denied" << kDeviceGone + " (Permission denied)";
    }
    void lossReasonKeepsOnlyASystemTextThatSaysMore()
    {
        QFETCH(QString, systemText);
        QFETCH(QString, reason);
        QCOMPARE(deviceLostReason(systemText), reason);
    }

    void abortEndsTheWaitAndStopsLaterExchanges()
    {
        OpenLine line;
        QVERIFY(line.opened);
        Link link(line.cm, 60s);
        QTimer::singleShot(50ms, &link, &Link::abort);

        QVERIFY(!link.Wait()); // a 60 s wait, ended by the abort
        QVERIFY(link.isAborted());
        QVERIFY_THROWS_EXCEPTION(LinkAborted, link.SendAndWait("?\r"));
        QTest::qWait(50);
        QCOMPARE(line.sim.log(), QByteArray()); // nothing was written after the abort
    }
};

QTEST_GUILESS_MAIN(TestLink)
#include "tst_link.moc"
