// The window and a unit behind Debian's ser2net: a scan probes an address as the port number
// it was given, and File > Connect to Network Unit... reaches the unit by its address for an
// upload, a backup and an apply, as over a serial port.
#include "app/dialogs.h"
#include "app/recent_addresses.h"
#include "app/traffic_log.h"
#include "flow_support.h"
#include "support/ssh_server.h"
#include "support/terminal_server.h"

#include <QAction>
#include <QApplication>
#include <QSettings>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QUrl>

using namespace flow;
using namespace tarvex::app;

namespace {

// The operator at the dialogs: gives the addresses in turn (the next one once the last was
// refused), picks path for a file, presses Write; remembers the refusals seen.
struct Operator : dialogs::Observer
{
    Operator() { dialogs::setObserver(this); }
    ~Operator() override { dialogs::setObserver(nullptr); }
    std::optional<QString> chooseAddress(const dialogs::AddressRequest& request) override
    {
        if (!request.refusal.isEmpty())
            refusals << request.refusal;
        return addresses.isEmpty() ? std::nullopt : std::optional(addresses.takeFirst());
    }
    std::optional<QString> chooseFile(const dialogs::FileRequest&) override { return path; }
    bool answer(const dialogs::DifferencesRequest&) override { return true; }

    QStringList addresses;
    QStringList refusals;
    QString path;
};

// A unit with a memory of its own, behind ser2net.
struct RemoteUnit
{
    RemoteUnit()
        : stateWritten(writeUnitState(scratch.filePath("unit.json"),
                                      unitState(3, "10010001", distinctPhones(), "5559999999"))),
          sim({"--state", scratch.filePath("unit.json")}), server((sim.start(), sim.devicePath()))
    {}
    bool start() { return stateWritten && !sim.devicePath().isEmpty() && server.start(); }

    QTemporaryDir scratch;
    bool stateWritten;
    SimProcess sim;
    Ser2netProcess server;
};

QJsonObject jsonIn(const QString& path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? QJsonDocument::fromJson(file.readAll()).object()
                                          : QJsonObject();
}

} // namespace

class TestNetworkFlow : public QObject
{
    Q_OBJECT

    QTemporaryDir settings_; // the recent addresses of these tests only
    SshServer ssh_;          // the SSH host and console server of the SSH rows

private slots:
    void initTestCase()
    {
        QApplication::setQuitOnLastWindowClosed(false);
        QSettings::setPath(QSettings::IniFormat, QSettings::UserScope, settings_.path());
        QVERIFY2(!QStandardPaths::findExecutable("ser2net", {"/usr/sbin", "/usr/bin"}).isEmpty(),
                 "ser2net is missing: sudo apt-get install ser2net");
        QVERIFY(ssh_.start());
        qputenv("TARVEX_SSH_COMMAND", ssh_.sshCommand().toLocal8Bit());
    }

    void aScanProbesAnAddressAsItsPortNumber()
    {
        RemoteUnit unit;
        QVERIFY(unit.start());
        QString error;
        const auto ports =
            tarvex::link::PortMap::fromPortOptions({"2=" + unit.server.rawAddress()}, &error);
        QVERIFY2(ports, qPrintable(error));
        MainWindow w(*ports, kQuickWait);
        w.show();
        QVERIFY(QTest::qWaitForWindowExposed(&w));
        click(w.form().controls().cmdConnect);
        QCOMPARE(w.form().controls().lblConn->text(), "KTX-210");
        QCOMPARE(w.form().exchange().cm.portNumber(), 2);
    }

    // Through the menu to a raw TCP address (after one malformed try): upload, save, apply.
    void connectUploadSaveAndApplyThroughTheMenu()
    {
        RemoteUnit unit;
        QVERIFY(unit.start());
        Recorder seen;
        Operator hands;
        const QString address = unit.server.rawAddress();
        hands.addresses = QStringList{"tcp://127.0.0.1", address};
        MainWindow w(tarvex::link::PortMap::pinned({}), kQuickWait);
        w.show();
        QVERIFY(QTest::qWaitForWindowExposed(&w));
        const FormControls& ui = w.form().controls();

        w.actions().connectToNetworkUnit->trigger();
        QCOMPARE(hands.refusals.size(), 1);
        QVERIFY2(hands.refusals.first().contains("no port"), qPrintable(hands.refusals.first()));
        QCOMPARE(ui.lblConn->text(), "KTX-210");
        QVERIFY(w.actions().saveConfiguration->isEnabled());
        QCOMPARE(recent_addresses::load(), QStringList{address});
        const TrafficLog& log = w.trafficLog();
        QVERIFY(
            log.index(0, TrafficLog::Duration).data().toString().contains("line delay, timed by"));

        click(ui.cmdUpLoad);
        QCOMPARE(phonesShown(ui), distinctPhones() << "5559999999");
        QCOMPARE(ui.cmbNumPhones->currentIndex(), 3);

        QTemporaryDir dir;
        hands.path = dir.filePath("unit.json");
        w.actions().saveConfiguration->trigger();
        QJsonObject config = jsonIn(hands.path);
        QCOMPARE(config["phones"].toObject()["numbers"].toArray().size(), 3);

        QJsonObject phones = config["phones"].toObject();
        phones["test"] = "5551234567";
        config["phones"] = phones;
        hands.path = dir.filePath("changed.json");
        QVERIFY(writeUnitState(hands.path, config));
        w.actions().applyConfiguration->trigger();
        QVERIFY(!seen.boxes.isEmpty());
        QCOMPARE(seen.boxes.last().text, "Configuration written and verified.");
        QCOMPARE(readUnitState(unit.scratch.filePath("unit.json"))["phones"].toArray().last(),
                 "5551234567");
    }

    // Behind a proxy every reply comes 300 ms after its line, which the raw line's handshake
    // (with the proxy) cannot see: each lands in the next exchange's wait. No control takes
    // another's value, and one warning names the controls left as they were.
    void lateRepliesNeverShowAsAnotherControlsValue()
    {
        RemoteUnit unit;
        QVERIFY(unit.start());
        DelayProxy proxy(quint16(QUrl(unit.server.rawAddress()).port()), 150);
        QVERIFY(proxy.start());
        Recorder seen;
        Operator hands;
        hands.addresses = QStringList{QStringLiteral("tcp://127.0.0.1:%1").arg(proxy.port())};
        // Long enough for the identify query; the upload then waits as the product does.
        MainWindow w(tarvex::link::PortMap::pinned({}), std::chrono::milliseconds(700));
        const FormControls& ui = w.form().controls();
        w.actions().connectToNetworkUnit->trigger();
        QVERIFY2(ui.lblConn->text() == "KTX-210", qPrintable(ui.lblConn->toolTip()));
        w.form().exchange().setReplyWait(tarvex::link::kReplyWait);

        click(ui.cmdUpLoad);

        // Each control shows the unit's value or its start-up value, never another.
        QStringList unread;
        QVERIFY(ui.cmbNumPhones->currentIndex() == 3 || ui.cmbNumPhones->currentIndex() == 0);
        if (ui.cmbNumPhones->currentIndex() == 0)
            unread << "No. of Phones";
        QVERIFY2(flagsShown(ui) == "10010001" || flagsShown(ui) == "00000000",
                 qPrintable(flagsShown(ui)));
        if (flagsShown(ui) == "00000000")
            unread << "the event switches";
        const QStringList held = distinctPhones() << "5559999999";
        for (int slot = 0; slot < held.size(); ++slot) {
            const QString shown = ui.txtPhone[slot]->text();
            QVERIFY2(shown == held[slot] || shown == "0", qPrintable(shown));
            if (shown == "0")
                unread << (slot == 10 ? QString("Test Phone No.")
                                      : QString("Phone No.%1").arg(slot + 1));
        }
        QVERIFY(!unread.isEmpty()); // the replies did come late
        QCOMPARE(seen.titles(), QStringList{"Upload"});
        QCOMPARE(seen.boxes.first().text.section(u'\n', 1, 1).split(", "), unread);
        QVERIFY(seen.boxes.first().text.contains("?delay="));
    }

    // Through SSH as through any address: a tunnel and a console server's port reach the unit;
    // a host whose key is not known gives nothing, says how to trust it, and leaves no ssh.
    void connectAndUploadThroughSsh_data()
    {
        QTest::addColumn<QString>("form");
        QTest::addColumn<QString>("shown");
        QTest::newRow("tunnel, rfc2217") << "rfc2217?via=site"
                                         << "KTX-210";
        QTest::newRow("console server") << "ssh://console"
                                        << "KTX-210";
        QTest::newRow("unknown host key") << "rfc2217?via=stranger"
                                          << "Device not Found!";
    }
    void connectAndUploadThroughSsh()
    {
        QFETCH(QString, form);
        QFETCH(QString, shown);
        RemoteUnit unit;
        QVERIFY(unit.start());
        Recorder seen;
        Operator hands;
        const bool console = form.startsWith("ssh://");
        if (console)
            QVERIFY(ssh_.bridgeConsoleTo(unit.sim.devicePath()));
        hands.addresses = QStringList{console ? form : unit.server.rfc2217Address() + form.mid(7)};
        {
            MainWindow w(tarvex::link::PortMap::pinned({}), kQuickWait);
            w.actions().connectToNetworkUnit->trigger();
            const FormControls& ui = w.form().controls();
            QCOMPARE(ui.lblConn->text(), shown);
            if (shown == "KTX-210") {
                click(ui.cmdUpLoad);
                QCOMPARE(phonesShown(ui), distinctPhones() << "5559999999");
            } else {
                QVERIFY2(ui.lblConn->toolTip().contains("is not known"),
                         qPrintable(ui.lblConn->toolTip()));
                QVERIFY(ui.lblConn->toolTip().contains("ssh-keyscan"));
            }
        }
        QVERIFY(QTest::qWaitFor([this] { return ssh_.sshProcesses().isEmpty(); }, 5000));
    }

    // Nothing listens there: the state of a scan that found nothing, and a box that says why.
    void aRefusedConnectionIsDeviceNotFoundAndNamed()
    {
        Recorder seen;
        Operator hands;
        const QString address = QStringLiteral("tcp://127.0.0.1:%1").arg(freeTcpPort());
        hands.addresses = QStringList{address};
        MainWindow w(tarvex::link::PortMap::pinned({}), kQuickWait);
        w.actions().connectToNetworkUnit->trigger();
        const FormControls& ui = w.form().controls();
        QCOMPARE(ui.lblConn->text(), "Device not Found!");
        QVERIFY(ui.lblConn->toolTip().startsWith(address + ": the connection was refused"));
        QCOMPARE(seen.boxes.size(), 1);
        QVERIFY(seen.boxes.first().text.contains(ui.lblConn->toolTip()));
        QVERIFY(!ui.cmdUpLoad->isEnabled() && !w.actions().saveConfiguration->isEnabled());
    }
};

QTEST_MAIN(TestNetworkFlow)
#include "tst_network_flow.moc"
