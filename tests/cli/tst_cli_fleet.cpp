// tarvex-cli fleet against real git repositories in temporary folders and tarvex-sim units on
// pseudo-terminals, one of them behind Debian's ser2net.
#include "cli_run.h"
#include "support/sim_process.h"
#include "support/terminal_server.h"

#include <QDate>
#include <QDir>
#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QLockFile>
#include <QTemporaryDir>
#include <QTest>

#include <csignal>
#include <memory>
#include <sys/resource.h>

namespace {

const QString kFastWait = QStringLiteral("--reply-wait=150");

QByteArray unitState(const QByteArray& test)
{
    return R"({"count": 2, "mask": "10100001",
      "phones": ["9800000001", "9800000002", "1111111111", "1111111111", "1111111111",
                 "1111111111", "1111111111", "1111111111", "1111111111", "1111111111",
                 "9899999999"],
      "messages": ["Netz 1 ein", "Netz 2 ein", "Netz 1 aus", "Netz 2 aus", "E1", "E2", "E3", ")" +
           test + R"("]})";
}

const QByteArray kTemplate = R"({"format": "tarvex-config", "version": 1,
  "phones": {"numbers": ["${oncall}", "9800000002"]},
  "events": {"test": {"enabled": true, "message": "Weekly test from ${site}"}}})";

void writeFile(const QString& path, const QByteArray& bytes)
{
    QDir().mkpath(QFileInfo(path).path());
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly) || file.write(bytes) != bytes.size())
        qFatal("cannot write %s", qPrintable(path));
}

QByteArray contentOf(const QString& path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

QByteArray git(const QString& folder, const QStringList& arguments)
{
    QProcess process;
    process.setWorkingDirectory(folder);
    process.start(QStringLiteral("git"), arguments);
    process.waitForFinished(-1);
    return process.readAllStandardOutput().trimmed();
}

int commitCount(const QString& folder)
{
    return git(folder, {"rev-list", "--count", "HEAD"}).toInt();
}

// Neither the group nor others may read it: the register holds people's phone numbers.
bool ownerOnly(const QString& path)
{
    return (int(QFileInfo(path).permissions()) & 0x0077) == 0;
}

QJsonObject stateOf(const QString& path)
{
    return QJsonDocument::fromJson(contentOf(path)).object();
}

// A unit of its own with a state file, so that a test can see what it holds.
struct Unit
{
    explicit Unit(const QString& name, QStringList options = {})
    {
        writeFile(scratch.filePath("state.json"), unitState("Test " + name.toUtf8()));
        sim = std::make_unique<SimProcess>(QStringList{"--state", scratch.filePath("state.json")} +
                                           options);
        if (!sim->start())
            qFatal("the simulator did not start");
    }
    QString device() const { return sim->devicePath(); }
    QString testMessage() const
    {
        return stateOf(scratch.filePath("state.json")).value("messages").toArray().at(7).toString();
    }
    QTemporaryDir scratch;
    std::unique_ptr<SimProcess> sim;
};

QByteArray siteEntry(const QString& name, const QString& device, const QByteArray& extra = {})
{
    return QStringLiteral(R"({"name": "%1", "device": "%2"%3})")
        .arg(name, device, QString::fromUtf8(extra))
        .toUtf8();
}

QByteArray listOf(const QList<QByteArray>& sites)
{
    QByteArray joined;
    for (const QByteArray& site : sites)
        joined += (joined.isEmpty() ? "" : ",\n  ") + site;
    return R"({"format": "tarvex-fleet", "version": 1, "sites": [)" + joined + "]}\n";
}

// A register made by init, its list and template committed as a user would.
struct Register
{
    Register()
    {
        path = dir.filePath("register");
        const CliRun made = runCli({"fleet", "init", path});
        if (made.exitCode != 0)
            qFatal("fleet init failed: %s", made.err.constData());
    }
    void setSites(const QList<QByteArray>& sites)
    {
        writeFile(path + "/fleet.json", listOf(sites));
        writeFile(path + "/templates/standard.json", kTemplate);
        git(path, {"add", "-A"});
        git(path, {"commit", "-q", "-m", "sites"});
    }
    CliRun fleet(const QStringList& arguments,
                 const std::function<void(QProcess&)>& prepare = {}) const
    {
        return runCli(QStringList{"fleet"} + arguments + QStringList{"--fleet", path, kFastWait},
                      prepare);
    }
    QString unitFile(const QString& site) const { return path + "/units/" + site + ".json"; }
    QTemporaryDir dir;
    QString path;
};

QJsonObject siteStatus(const CliRun& status, const QString& name)
{
    for (const QJsonValue& site : status.json().value("sites").toArray())
        if (site.toObject().value("name") == name)
            return site.toObject();
    return {};
}

// Every tarvex-cli started while it lives sees these in its environment.
struct EnvironmentChange
{
    EnvironmentChange(const char* name, const QByteArray& value)
        : name_(name), old_(qgetenv(name)), had_(qEnvironmentVariableIsSet(name))
    {
        qputenv(name, value);
    }
    ~EnvironmentChange()
    {
        if (had_)
            qputenv(name_, old_);
        else
            qunsetenv(name_);
    }
    const char* name_;
    QByteArray old_;
    bool had_;
};

} // namespace

class CliFleetTest : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void backupChangeHistoryStatusHookReportApplyRestore();
    void badInputSendsNothing_data();
    void badInputSendsNothing();
    void silentSiteFailsOthersRecorded();
    void secondRunOnLockedRegisterEnds();
    void registerThatIsNoRepository();
    void detachedHeadRefused();
    void listEditedDuringRunStaysUncommitted();
    void interruptedRunLeavesNothing();
    void fullDiskKeepsFilesAndHistory();
    void missingGitIsNamed();
    void usageErrors_data();
    void usageErrors();
};

void CliFleetTest::initTestCase()
{
    // The author of the register's commits is whoever runs it, as git's own settings say.
    qputenv("GIT_AUTHOR_NAME", "Site Office");
    qputenv("GIT_AUTHOR_EMAIL", "office@example.net");
    qputenv("GIT_COMMITTER_NAME", "Site Office");
    qputenv("GIT_COMMITTER_EMAIL", "office@example.net");
    qputenv("GIT_CONFIG_NOSYSTEM", "1");
    qputenv("GIT_CONFIG_GLOBAL", "/dev/null");
}

void CliFleetTest::backupChangeHistoryStatusHookReportApplyRestore()
{
    Unit a("a"), b("b"), c("c");
    Ser2netProcess server(c.device());
    QVERIFY(server.start());
    Register fleet;
    QVERIFY(ownerOnly(fleet.path));
    const QByteArray values = R"(, "template": "templates/standard.json", "values": )";
    fleet.setSites(
        {siteEntry("pump-a", a.device(), values + R"({"site": "Pump A", "oncall": 9811111111})"),
         siteEntry("pump-b", b.device(), values + R"({"site": "Pump B", "oncall": "9822222222"})"),
         siteEntry("pump-c", server.rfc2217Address(),
                   values + R"({"site": "Pump C", "oncall": "9833333333"})")});
    const int before = commitCount(fleet.path);

    // Yesterday: the first backup, byte for byte what read -o writes.
    {
        EnvironmentChange date(
            "GIT_COMMITTER_DATE",
            QDateTime::currentDateTime().addDays(-1).toString(Qt::ISODate).toUtf8());
        const CliRun backup = fleet.fleet({"backup"});
        QCOMPARE(backup.exitCode, 0);
    }
    QCOMPARE(commitCount(fleet.path), before + 1);
    const QString readFile = fleet.dir.filePath("read.json");
    QCOMPARE(runCli({"read", "--device", a.device(), "-o", readFile, kFastWait}).exitCode, 0);
    const QByteArray yesterdayA = contentOf(fleet.unitFile("pump-a"));
    QCOMPARE(yesterdayA, contentOf(readFile));
    QVERIFY(ownerOnly(fleet.unitFile("pump-a")));

    // Today: the template applied to all three, verified by read-back, one commit.
    const CliRun check = fleet.fleet({"apply", "--check", "--json"});
    QCOMPARE(check.exitCode, 0);
    QCOMPARE(check.json().value("sites").toArray().at(1)["result"].toString(), "would-change");
    QCOMPARE(commitCount(fleet.path), before + 1);
    QCOMPARE(a.testMessage(), QStringLiteral("Test a"));
    const CliRun apply = fleet.fleet({"apply"});
    QVERIFY2(apply.exitCode == 0, apply.err);
    QCOMPARE(commitCount(fleet.path), before + 2);
    QCOMPARE(a.testMessage(), QStringLiteral("Weekly test from Pump A"));
    QCOMPARE(b.testMessage(), QStringLiteral("Weekly test from Pump B"));
    QCOMPARE(c.testMessage(), QStringLiteral("Weekly test from Pump C"));

    // Somebody changes unit b on site; the next backup finds that one change.
    QCOMPARE(
        runCli({"message", "set", "test", "Changed by hand", "--device", b.device(), kFastWait})
            .exitCode,
        0);
    const QString hookOut = fleet.dir.filePath("hook.json");
    const CliRun backup = fleet.fleet(
        {"backup", "--on-change", QStringLiteral("sh -c \"cat > %1\"").arg(hookOut), "--json"});
    QCOMPARE(backup.exitCode, 0);
    QCOMPARE(commitCount(fleet.path), before + 3);
    QCOMPARE(git(fleet.path, {"show", "--name-only", "--format=", "HEAD"}), "units/pump-b.json");
    QVERIFY(git(fleet.path, {"log", "-1", "--format=%B"}).contains("events.test.message"));
    QCOMPARE(git(fleet.path, {"log", "-1", "--format=%an"}), "Site Office");
    const QJsonObject hook = QJsonDocument::fromJson(contentOf(hookOut)).object();
    QCOMPARE(hook.value("changed").toArray(), QJsonArray{"pump-b"});

    const CliRun history = fleet.fleet({"history", "pump-b", "--json"});
    const QJsonArray entries = history.json().value("history").toArray();
    QCOMPARE(entries.size(), 3);
    const QJsonArray latest = entries.at(0)["changes"].toArray();
    QCOMPARE(latest.size(), 1);
    QCOMPARE(latest.at(0)["path"].toString(), "events.test.message");
    QCOMPARE(latest.at(0)["after"].toString(), "Changed by hand");

    const CliRun status = fleet.fleet({"status", "--json"});
    QCOMPARE(status.exitCode, 0);
    QCOMPARE(siteStatus(status, "pump-b").value("flags").toArray(),
             (QJsonArray{"changed", "drifted"}));
    QCOMPARE(siteStatus(status, "pump-a").value("flags").toArray(), QJsonArray{});
    QVERIFY(siteStatus(status, "pump-c").value("last_read").toString().endsWith('Z'));

    const QString page = fleet.dir.filePath("register.html");
    QCOMPARE(fleet.fleet({"report", "-o", page}).exitCode, 0);
    QVERIFY(contentOf(page).contains("<td>pump-b</td><td>" + b.device().toUtf8() +
                                     "</td><td><span class=\"flag changed\">changed</span>"));
    QVERIFY(ownerOnly(page));

    // Unit a back to yesterday's version, without a terminal only with --yes.
    const QString today = QDate::currentDate().toString(Qt::ISODate);
    QCOMPARE(fleet.fleet({"restore", "pump-a", "--to", today}).exitCode, 2);
    QCOMPARE(a.testMessage(), QStringLiteral("Weekly test from Pump A"));
    const CliRun restore = fleet.fleet({"restore", "pump-a", "--to", today, "--yes"});
    QVERIFY2(restore.exitCode == 0, restore.err);
    QCOMPARE(a.testMessage(), QStringLiteral("Test a"));
    writeFile(readFile, yesterdayA);
    QCOMPARE(runCli({"diff", readFile, "--device", a.device(), kFastWait}).exitCode, 0);
    QCOMPARE(contentOf(fleet.unitFile("pump-a")), yesterdayA);
    QCOMPARE(commitCount(fleet.path), before + 4);
}

void CliFleetTest::badInputSendsNothing_data()
{
    QTest::addColumn<QString>("command");
    QTest::addColumn<QList<QByteArray>>("sites"); // DEVICE: the unit's device
    QTest::addColumn<QString>("named");           // in the message

    const QByteArray withTemplate = R"(, "template": "templates/standard.json")";
    QTest::newRow("duplicate site names")
        << "backup" << QList<QByteArray>{siteEntry("s", "DEVICE"), siteEntry("s", "/dev/null")}
        << "site s, name: another site has this name";
    QTest::newRow("two sites on one device")
        << "backup" << QList<QByteArray>{siteEntry("s", "DEVICE"), siteEntry("t", "DEVICE")}
        << "site t, device: site s is on the same line";
    QTest::newRow("unknown key") << "backup"
                                 << QList<QByteArray>{siteEntry("s", "DEVICE", R"(, "colour": 1)")}
                                 << "site s, colour: unknown key";
    QTest::newRow("malformed address")
        << "backup"
        << QList<QByteArray>{siteEntry("s", "DEVICE"), siteEntry("t", "rfc2217://host:99999")}
        << "site t, device:";
    QTest::newRow("missing template")
        << "apply"
        << QList<QByteArray>{siteEntry("s", "DEVICE", R"(, "template": "templates/none.json")")}
        << "site s, template: templates/none.json is not in the register";
    QTest::newRow("placeholder without a value")
        << "apply"
        << QList<QByteArray>{siteEntry("s", "DEVICE",
                                       withTemplate + R"(, "values": {"site": "S"})")}
        << "site s, phones.numbers[0]: ${oncall} has no value";
    QTest::newRow("rendered message too long, one good site beside it")
        << "apply"
        << QList<QByteArray>{siteEntry("t", "DEVICE",
                                       withTemplate +
                                           R"(, "values": {"site": "S", "oncall": "9811111111"})"),
                             siteEntry("s", "/dev/null",
                                       withTemplate + R"(, "values": {"site": ")" +
                                           QByteArray(70, 'x') + R"(", "oncall": "9811111111"})")}
        << "site s, events.test.message: 87 characters";
}

void CliFleetTest::badInputSendsNothing()
{
    QFETCH(QString, command);
    QFETCH(QList<QByteArray>, sites);
    QFETCH(QString, named);
    Unit unit("a");
    Register fleet;
    for (QByteArray& site : sites)
        site.replace("DEVICE", unit.device().toUtf8());
    fleet.setSites(sites);
    const CliRun run = fleet.fleet({command});
    QCOMPARE(run.exitCode, 65);
    QVERIFY2(run.err.contains(named.toUtf8()), run.err);
    QCOMPARE(unit.sim->log(), QByteArray());
}

void CliFleetTest::silentSiteFailsOthersRecorded()
{
    Unit good("a"), silent("b", {"--silent"});
    Register fleet;
    fleet.setSites({siteEntry("good", good.device()), siteEntry("silent", silent.device())});
    const CliRun backup = fleet.fleet({"backup"});
    QCOMPARE(backup.exitCode, 74);
    QVERIFY(QFileInfo::exists(fleet.unitFile("good")));
    QVERIFY(!QFileInfo::exists(fleet.unitFile("silent")));
    QVERIFY(git(fleet.path, {"log", "-1", "--format=%B"}).contains("Failed:\n  silent: "));
    const CliRun status = fleet.fleet({"status", "--json"});
    QCOMPARE(siteStatus(status, "silent").value("flags").toArray(),
             (QJsonArray{"failing", "never-read"}));
    QCOMPARE(siteStatus(status, "silent").value("failures").toInt(), 1);
}

void CliFleetTest::secondRunOnLockedRegisterEnds()
{
    Unit unit("a");
    Register fleet;
    fleet.setSites({siteEntry("s", unit.device())});
    QDir().mkpath(fleet.path + "/.tarvex");
    QLockFile held(fleet.path + "/.tarvex/lock");
    QVERIFY(held.tryLock(0));
    const CliRun run = fleet.fleet({"backup"});
    QCOMPARE(run.exitCode, 75);
    QVERIFY(run.err.contains("another run holds the register"));
    QCOMPARE(unit.sim->log(), QByteArray());
}

void CliFleetTest::registerThatIsNoRepository()
{
    QTemporaryDir folder;
    writeFile(folder.filePath("fleet.json"), listOf({}));
    const CliRun run = runCli({"fleet", "backup", "--fleet", folder.path()});
    QCOMPARE(run.exitCode, 65);
    QVERIFY(run.err.contains("is no git repository"));
    QCOMPARE(runCli({"fleet", "init", folder.path()}).exitCode, 0);
    QCOMPARE(contentOf(folder.filePath("fleet.json")), listOf({})); // kept
    QCOMPARE(runCli({"fleet", "backup", "--fleet", folder.path()}).exitCode, 0);
}

void CliFleetTest::detachedHeadRefused()
{
    Unit unit("a");
    Register fleet;
    fleet.setSites({siteEntry("s", unit.device())});
    git(fleet.path, {"checkout", "-q", "--detach"});
    const CliRun run = fleet.fleet({"backup"});
    QCOMPARE(run.exitCode, 65);
    QVERIFY(run.err.contains("detached HEAD"));
    QCOMPARE(unit.sim->log(), QByteArray());
}

void CliFleetTest::listEditedDuringRunStaysUncommitted()
{
    Unit unit("a");
    Register fleet;
    fleet.setSites({siteEntry("s", unit.device())});
    QProcess process;
    startCli(process, {"fleet", "backup", "--fleet", fleet.path, kFastWait});
    QVERIFY(QTest::qWaitFor([&] { return !unit.sim->log().isEmpty(); }, 20000));
    const QByteArray edited = listOf({siteEntry("s", unit.device()), siteEntry("t", "/dev/null")});
    writeFile(fleet.path + "/fleet.json", edited);
    QCOMPARE(finishCli(process).exitCode, 0);
    QCOMPARE(git(fleet.path, {"show", "--name-only", "--format=", "HEAD"}), "units/s.json");
    QCOMPARE(git(fleet.path, {"status", "--porcelain"}), "M fleet.json"); // trimmed
    QCOMPARE(contentOf(fleet.path + "/fleet.json"), edited);
}

void CliFleetTest::interruptedRunLeavesNothing()
{
    Unit unit("a");
    Register fleet;
    fleet.setSites({siteEntry("s", unit.device())});
    const int before = commitCount(fleet.path);
    QProcess process;
    startCli(process, {"fleet", "backup", "--fleet", fleet.path, kFastWait});
    QVERIFY(QTest::qWaitFor([&] { return !unit.sim->log().isEmpty(); }, 20000));
    ::kill(pid_t(process.processId()), SIGTERM);
    QCOMPARE(finishCli(process).exitCode, 130);
    QVERIFY(!QFileInfo::exists(fleet.unitFile("s")));
    QCOMPARE(commitCount(fleet.path), before);
    QCOMPARE(fleet.fleet({"backup"}).exitCode, 0); // the next run starts cleanly
    QVERIFY(QFileInfo::exists(fleet.unitFile("s")));
}

void CliFleetTest::fullDiskKeepsFilesAndHistory()
{
    Unit unit("a");
    Register fleet;
    fleet.setSites({siteEntry("s", unit.device())});
    QCOMPARE(fleet.fleet({"backup"}).exitCode, 0);
    const QByteArray kept = contentOf(fleet.unitFile("s"));
    const int before = commitCount(fleet.path);
    QCOMPARE(runCli({"message", "set", "test", "Changed", "--device", unit.device(), kFastWait})
                 .exitCode,
             0);
    const CliRun full = fleet.fleet({"backup"}, [](QProcess& process) {
        process.setChildProcessModifier([] {
            const rlimit limit{100, 100}; // full after 100 bytes, without privileges
            ::setrlimit(RLIMIT_FSIZE, &limit);
            ::signal(SIGXFSZ, SIG_IGN);
        });
    });
    QCOMPARE(full.exitCode, 73);
    QCOMPARE(contentOf(fleet.unitFile("s")), kept);
    QCOMPARE(commitCount(fleet.path), before);
    QCOMPARE(git(fleet.path, {"status", "--porcelain", "--untracked-files=all"}), "");
}

void CliFleetTest::missingGitIsNamed()
{
    Register fleet;
    fleet.setSites({});
    EnvironmentChange path("PATH", "/nonexistent");
    const CliRun run = fleet.fleet({"status"});
    QCOMPARE(run.exitCode, 69);
    QVERIFY(run.err.contains("cannot run git"));
}

void CliFleetTest::usageErrors_data()
{
    QTest::addColumn<QStringList>("arguments");
    QTest::addColumn<QString>("problem");

    QTest::newRow("option of another command")
        << QStringList{"backup", "--stale", "3"} << "--stale does not go with backup";
    QTest::newRow("restore without a version")
        << QStringList{"restore", "s"} << "restore needs --to REV";
    QTest::newRow("jobs not a number")
        << QStringList{"backup", "--jobs", "0"} << "--jobs takes a number of sites, 1 or more";
}

void CliFleetTest::usageErrors()
{
    QFETCH(QStringList, arguments);
    QFETCH(QString, problem);
    const CliRun run = runCli(QStringList{"fleet"} + arguments + QStringList{"--json"});
    QCOMPARE(run.exitCode, 64);
    QCOMPARE(run.json().value("error")["message"].toString(), problem);
}

QTEST_GUILESS_MAIN(CliFleetTest)
#include "tst_cli_fleet.moc"
