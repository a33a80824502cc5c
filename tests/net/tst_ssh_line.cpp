#include "../cli/cli_run.h"
#include "link/line_port.h"
#include "support/sim_process.h"
#include "support/ssh_server.h"
#include "support/terminal_server.h"

#include <QFile>
#include <QJsonArray>
#include <QTest>

#include <array>
#include <csignal>
#include <sys/resource.h>

namespace {

// Port number 1 at a network address.
tarvex::link::PortMap onlyAt(const QString& address)
{
    return tarvex::link::PortMap::pinned(
        {{1, tarvex::link::DeviceName::fromText(address, nullptr).value()}});
}

const QString kFastWait = QStringLiteral("--reply-wait=150");
const QString kExample = QStringLiteral(TARVEX_EXAMPLE_CONFIG);

// A unit behind ser2net on the SSH host's loopback, as on a site box.
struct SiteUnit
{
    explicit SiteUnit(QStringList simArguments = {}) : sim(std::move(simArguments)) {}
    bool start()
    {
        if (!sim.start())
            return false;
        server = std::make_unique<Ser2netProcess>(sim.devicePath());
        return server->start();
    }
    QString tunnel(bool rfc2217, const QString& via = QStringLiteral("site")) const
    {
        return (rfc2217 ? server->rfc2217Address() : server->rawAddress()) +
               QStringLiteral("?via=") + via;
    }
    SimProcess sim;
    std::unique_ptr<Ser2netProcess> server;
};

QString traceOf(const QString& path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? QString::fromUtf8(file.readAll()) : QString();
}

} // namespace

// Units reached through the system's ssh and a test sshd of our own: a tunnel to ser2net on the
// SSH host, and a console server's session bridged to a simulated unit.
class TestSshLine : public QObject
{
    Q_OBJECT
private slots:
    void initTestCase()
    {
        QVERIFY2(QFile::exists("/usr/sbin/sshd"),
                 "sshd is missing: scripts/install-deps.sh installs openssh-server");
        QVERIFY(ssh_.start());
        qputenv("TARVEX_SSH_COMMAND", ssh_.sshCommand().toLocal8Bit());
    }

    void cleanup()
    {
        // Whatever a test did, no ssh of ours outlives the program that ran it.
        QVERIFY2(QTest::qWaitFor([this] { return ssh_.sshProcesses().isEmpty(); }, 5000),
                 qPrintable(QString::number(ssh_.sshProcesses().size())));
    }

    void applyDiffAndReadThroughSsh_data()
    {
        QTest::addColumn<QString>("form");
        QTest::addColumn<QString>("delayFrom");
        QTest::newRow("tunnel, rfc2217") << "rfc2217"
                                         << "timed by the Telnet answers";
        QTest::newRow("tunnel, raw tcp") << "tcp"
                                         << "timed by the SSH channel's open";
        QTest::newRow("console server") << "ssh"
                                        << "timed by the first reply byte";
    }
    void applyDiffAndReadThroughSsh()
    {
        QFETCH(QString, form);
        QFETCH(QString, delayFrom);
        SiteUnit unit;
        QString address = QStringLiteral("ssh://console");
        if (form == "ssh") // the console server alone holds the unit's line
            QVERIFY(unit.sim.start() && ssh_.bridgeConsoleTo(unit.sim.devicePath()));
        else
            QVERIFY(unit.start());
        if (form != "ssh")
            address = unit.tunnel(form == "rfc2217");
        const CliRun apply = runCli({"apply", kExample, "--device", address, "--json", kFastWait});
        QVERIFY2(apply.exitCode == 0,
                 qPrintable(QString::number(apply.exitCode) + apply.out + apply.err));
        QVERIFY(apply.json().value("verified").toBool());
        QVERIFY(!apply.json().value("changes").toArray().isEmpty());
        const CliRun diff = runCli({"diff", kExample, "--device", address, kFastWait});
        QVERIFY2(diff.exitCode == 0, diff.out + diff.err);
        QTemporaryDir dir;
        const QString trace = dir.filePath("trace.log");
        const CliRun read = runCli({"read", "--device", address, "--trace", trace, kFastWait});
        QVERIFY2(read.exitCode == 0, read.err.constData());
        QVERIFY(read.out.contains("Weekly test\\nfrom site 12"));
        QVERIFY2(traceOf(trace).contains(delayFrom), qPrintable(traceOf(trace)));
    }

    // Each fault is named, with its exit code, and nothing is ever accepted on trust.
    void sshFaultsAreClear_data()
    {
        QTest::addColumn<QString>("via");
        QTest::addColumn<QString>("sshCommand"); // empty: the test server's
        QTest::addColumn<int>("exitCode");
        QTest::addColumn<QString>("says");
        QTest::newRow("ssh not installed")
            << "site"
            << "/nonexistent/ssh" << 69 << "install OpenSSH's client";
        QTest::newRow("SSH host refuses") << "nowhere"
                                          << "" << 69 << "cannot reach the SSH host nowhere";
        QTest::newRow("unknown host key")
            << "stranger"
            << "" << 69 << "host key of the SSH host stranger is not known";
        QTest::newRow("changed host key") << "impostor"
                                          << "" << 69
                                          << "has CHANGED since it was trusted (it now shows "
                                             "SHA256:";
        QTest::newRow("login refused") << "nokey"
                                       << "" << 77 << "the SSH host nokey refused the login";
        QTest::newRow("target refused on the far side")
            << "site"
            << "" << 69 << "the SSH host site took the login but could not connect";
    }
    void sshFaultsAreClear()
    {
        QFETCH(QString, via);
        QFETCH(QString, sshCommand);
        QFETCH(int, exitCode);
        QFETCH(QString, says);
        const QString address =
            QStringLiteral("tcp://127.0.0.1:%1?via=%2").arg(ssh_.closedPort()).arg(via);
        if (!sshCommand.isEmpty())
            qputenv("TARVEX_SSH_COMMAND", sshCommand.toLocal8Bit());
        const CliRun run = runCli({"read", "--device", address, kFastWait});
        qputenv("TARVEX_SSH_COMMAND", ssh_.sshCommand().toLocal8Bit());
        QCOMPARE(run.exitCode, exitCode);
        QVERIFY2(run.err.contains(says.toUtf8()), run.err.constData());
    }

    // ser2net on the far side serves one client: the second is told so, through the tunnel.
    void aPortInUseThroughTheTunnelIsBusy()
    {
        SiteUnit unit;
        QVERIFY(unit.start());
        tarvex::link::LinePort holder(onlyAt(unit.tunnel(true)));
        QVERIFY2(holder.SetOpen(true), qPrintable(holder.errorString()));
        const CliRun run = runCli({"read", "--device", unit.tunnel(true), kFastWait});
        QVERIFY2(run.exitCode == 75, qPrintable(QString::number(run.exitCode) + run.err));
        QVERIFY2(run.err.contains("in use by another client"), run.err.constData());
    }

    // Many lines to one SSH host share one connection: one login, one ssh master.
    void linesToOneHostShareOneConnection()
    {
        SiteUnit first;
        SiteUnit second;
        QVERIFY(first.start() && second.start());
        tarvex::link::LinePort a(onlyAt(first.tunnel(false)));
        tarvex::link::LinePort b(onlyAt(second.tunnel(true)));
        QVERIFY2(a.SetOpen(true), qPrintable(a.errorString()));
        QVERIFY2(b.SetOpen(true), qPrintable(b.errorString()));
        QCOMPARE(ssh_.sshProcesses().size(), 3); // the shared connection and a channel each
        a.SetOpen(false);
        b.SetOpen(false);
    }

    // The register runs each site on a thread of its own; through one SSH host they share
    // its connection, and every site's configuration is recorded.
    void aRegisterBacksUpSitesThroughOneSshHost()
    {
        std::array<SiteUnit, 3> units;
        QStringList sites;
        for (SiteUnit& unit : units) {
            QVERIFY(unit.start());
            sites << QStringLiteral(R"({"name": "site%1", "device": "%2"})")
                         .arg(sites.size())
                         .arg(unit.tunnel(sites.size() != 1));
        }
        QTemporaryDir dir;
        const QString fleet = dir.filePath("register");
        QCOMPARE(runCli({"fleet", "init", fleet}).exitCode, 0);
        QFile list(fleet + "/fleet.json");
        QVERIFY2(list.open(QIODevice::WriteOnly), qPrintable(list.errorString()));
        list.write(QStringLiteral(R"({"format": "tarvex-fleet", "version": 1, "sites": [%1]})")
                       .arg(sites.join(u','))
                       .toUtf8());
        list.close();
        const CliRun backup = runCli({"fleet", "backup", "--fleet", fleet, kFastWait});
        QVERIFY2(backup.exitCode == 0, backup.err.constData());
        for (int site = 0; site < 3; ++site)
            QVERIFY(QFile::exists(fleet + QStringLiteral("/units/site%1.json").arg(site)));
    }

    // The user or the system ends the run: exit 130, and the ssh children end with it.
    void aSignalEndsTheRunAndItsSsh_data()
    {
        QTest::addColumn<int>("signal");
        QTest::newRow("Ctrl-C") << SIGINT;
        QTest::newRow("SIGTERM") << SIGTERM;
        QTest::newRow("SIGHUP") << SIGHUP;
    }
    void aSignalEndsTheRunAndItsSsh()
    {
        QFETCH(int, signal);
        SiteUnit unit;
        QVERIFY(unit.start());
        QProcess cli;
        startCli(cli, {"apply", kExample, "--device", unit.tunnel(true), kFastWait});
        QVERIFY(QTest::qWaitFor([&] { return unit.sim.log().contains('?'); }, 20000));
        ::kill(pid_t(cli.processId()), signal);
        const CliRun run = finishCli(cli);
        QCOMPARE(run.exitCode, 130);
    }

    // ssh itself dies among the writes: a lost line, and "changes" lists only what the unit took.
    void sshDyingMidApplyIsALostLine()
    {
        SiteUnit unit;
        QVERIFY(unit.start());
        QProcess cli;
        startCli(cli,
                 {"apply", kExample, "--device", unit.tunnel(false), "--json", "--reply-wait=300"});
        QVERIFY(QTest::qWaitFor([&] { return unit.sim.log().count('&') >= 2; }, 20000));
        for (const qint64 pid : ssh_.sshProcesses())
            ::kill(pid_t(pid), SIGKILL);
        const CliRun run = finishCli(cli);
        QCOMPARE(run.exitCode, 74);
        QCOMPARE(run.json().value("error").toObject().value("kind").toString(), "lost-line");
        const qsizetype changes = run.json().value("changes").toArray().size();
        QVERIFY2(changes >= 1 && changes <= unit.sim.log().count('&'),
                 qPrintable(QString::number(changes)));
    }

    // Each line through ssh holds pipes to its child, a fleet's many lines many of them: the
    // program takes what the system allows, not the soft limit it was started with. 16 is
    // enough for tarvex-cli to start, short of the 20 or so that one line through ssh needs.
    void linesThroughSshOutgrowALowDescriptorLimit()
    {
        SiteUnit unit;
        QVERIFY(unit.start());
        const CliRun run =
            runCli({"read", "--device", unit.tunnel(true), kFastWait}, [](QProcess& cli) {
                cli.setChildProcessModifier([] {
                    rlimit limit{};
                    ::getrlimit(RLIMIT_NOFILE, &limit);
                    limit.rlim_cur = 16;
                    ::setrlimit(RLIMIT_NOFILE, &limit);
                });
            });
        QVERIFY2(run.exitCode == 0, run.err.constData());
    }

private:
    SshServer ssh_;
};

QTEST_GUILESS_MAIN(TestSshLine)
#include "tst_ssh_line.moc"
