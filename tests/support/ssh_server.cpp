#include "support/ssh_server.h"

#include "support/terminal_server.h"

#include <QDir>
#include <QFile>
#include <QTcpServer>
#include <QTest>

#include <arpa/inet.h>
#include <csignal>
#include <netinet/in.h>
#include <sys/prctl.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

constexpr int kStartMs = 10000;
constexpr int kStopMs = 5000;

QByteArray run(const QString& program, const QStringList& arguments)
{
    QProcess process;
    process.start(program, arguments);
    if (!process.waitForFinished(kStartMs) || process.exitCode() != 0)
        qWarning("%s failed: %s", qPrintable(program), process.readAllStandardError().constData());
    return process.readAllStandardOutput();
}

} // namespace

SshServer::SshServer()
{
    sshd_.setProcessChannelMode(QProcess::ForwardedErrorChannel);
    sshd_.setStandardOutputFile(QProcess::nullDevice());
    sshd_.setChildProcessModifier([] { prctl(PR_SET_PDEATHSIG, SIGKILL); });
}

SshServer::~SshServer()
{
    if (closedPort_ >= 0)
        ::close(closedPort_);
    if (sshd_.state() == QProcess::NotRunning)
        return;
    sshd_.terminate();
    if (!sshd_.waitForFinished(kStopMs)) {
        sshd_.kill();
        sshd_.waitForFinished(kStopMs);
    }
}

// A port bound but never listened on: a connection there is refused, and while we hold it no
// other program of the test run can take it.
quint16 SshServer::holdClosedPort()
{
    closedPort_ = ::socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t size = sizeof address;
    if (closedPort_ < 0 || ::bind(closedPort_, reinterpret_cast<sockaddr*>(&address), size) != 0 ||
        ::getsockname(closedPort_, reinterpret_cast<sockaddr*>(&address), &size) != 0)
        return 0;
    return ntohs(address.sin_port);
}

QString SshServer::path(const QString& name) const
{
    return scratch_.filePath(name);
}

bool SshServer::writeFile(const QString& name, const QString& text, bool executable)
{
    QFile file(path(name));
    if (!file.open(QIODevice::WriteOnly) || file.write(text.toUtf8()) < 0)
        return false;
    return file.setPermissions(QFile::ReadOwner | QFile::WriteOwner |
                               (executable ? QFile::ExeOwner : QFile::Permissions()));
}

bool SshServer::makeKey(const QString& name)
{
    run(QStringLiteral("ssh-keygen"),
        {"-q", "-t", "ed25519", "-N", "", "-C", name, "-f", path(name)});
    return QFile::exists(path(name));
}

QString SshServer::publicKey(const QString& name) const
{
    QFile file(path(name + QStringLiteral(".pub")));
    file.open(QIODevice::ReadOnly);
    return QString::fromUtf8(file.readAll()).trimmed().section(u' ', 0, 1);
}

bool SshServer::writeAuthorizedKeys(const QString& consoleCommand)
{
    return writeFile(QStringLiteral("authorized_keys"),
                     publicKey(QStringLiteral("site_key")) + u'\n' +
                         QStringLiteral("restrict,command=\"%1\" ").arg(consoleCommand) +
                         publicKey(QStringLiteral("console_key")) + u'\n');
}

bool SshServer::start(const QString& logFile)
{
    // sshd insists on its privilege separation folder, which the package's service would make.
    ::mkdir("/run/sshd", 0755);
    for (const char* key : {"host_key", "other_host_key", "site_key", "console_key", "stray_key"})
        if (!makeKey(QString::fromLatin1(key)))
            return false;
    port_ = freeTcpPort();
    closedPortNumber_ = holdClosedPort();
    const QString server =
        QStringLiteral("ListenAddress 127.0.0.1\nPort %1\nHostKey %2\nAuthorizedKeysFile %3\n"
                       "PidFile none\nPermitRootLogin prohibit-password\n"
                       "PasswordAuthentication no\nKbdInteractiveAuthentication no\nUsePAM no\n"
                       // The folder is ours, but /tmp above it is everybody's.
                       "StrictModes no\nAllowTcpForwarding yes\nLogLevel ERROR\n")
            .arg(port_)
            .arg(path("host_key"), path("authorized_keys"));
    const QString hostLine =
        QStringLiteral("[127.0.0.1]:%1 %2\n").arg(port_).arg(publicKey("host_key"));
    const QString wrongLine =
        QStringLiteral("[127.0.0.1]:%1 %2\n").arg(port_).arg(publicKey("other_host_key"));
    const QString client =
        QStringLiteral("Host site\n  IdentityFile %2\n  UserKnownHostsFile %5\n"
                       "Host console\n  IdentityFile %3\n  UserKnownHostsFile %5\n"
                       "Host stranger\n  IdentityFile %2\n  UserKnownHostsFile %6\n"
                       "Host impostor\n  IdentityFile %2\n  UserKnownHostsFile %7\n"
                       "Host nokey\n  IdentityFile %4\n  UserKnownHostsFile %5\n"
                       "Host nowhere\n  Port %8\n  IdentityFile %2\n  UserKnownHostsFile %5\n"
                       // Last: ssh takes the first value it reads of each option.
                       "Host *\n  HostName 127.0.0.1\n  Port %1\n  IdentitiesOnly yes\n"
                       "  GlobalKnownHostsFile /dev/null\n  UpdateHostKeys no\n"
                       "  ConnectTimeout 5\n")
            .arg(port_)
            .arg(path("site_key"), path("console_key"), path("stray_key"), path("known_hosts"),
                 path("no_known_hosts"), path("wrong_known_hosts"))
            .arg(closedPortNumber_);
    if (!writeFile("sshd_config", server) || !writeFile("ssh_config", client) ||
        !writeFile("known_hosts", hostLine) || !writeFile("no_known_hosts", {}) ||
        !writeFile("wrong_known_hosts", wrongLine) || !writeAuthorizedKeys("false"))
        return false;
    QStringList arguments = {"-D", "-f", path("sshd_config")};
    arguments << (logFile.isEmpty() ? QStringList{"-e"}
                                    : QStringList{"-E", logFile, "-o", "LogLevel=VERBOSE"});
    sshd_.start(QStringLiteral("/usr/sbin/sshd"), arguments);
    if (!sshd_.waitForStarted(kStartMs)) {
        qWarning("sshd cannot start (Debian package openssh-server): %s",
                 qPrintable(sshd_.errorString()));
        return false;
    }
    return QTest::qWaitFor(
        [this] {
            QTcpServer probe;
            return sshd_.state() == QProcess::Running &&
                   !probe.listen(QHostAddress::LocalHost, port_);
        },
        kStartMs);
}

QString SshServer::clientConfig() const
{
    return path("ssh_config");
}

QString SshServer::sshCommand() const
{
    return QStringLiteral("ssh -F %1").arg(clientConfig());
}

bool SshServer::bridgeConsoleTo(const QString& device)
{
    // One session on the port at a time, as on a console server: the next waits until the
    // last one's bridge has let go of the device, so that no two read it.
    return writeAuthorizedKeys(QStringLiteral("exec flock %1 socat -t 0 STDIO %2,rawer")
                                   .arg(path(QStringLiteral("console.lock")), device));
}

QList<qint64> SshServer::sshProcesses() const
{
    QList<qint64> found;
    const QByteArray config = clientConfig().toLocal8Bit();
    for (const QString& entry : QDir(QStringLiteral("/proc")).entryList(QDir::Dirs)) {
        bool isProcess = false;
        const qint64 pid = entry.toLongLong(&isProcess);
        QFile cmdline(QStringLiteral("/proc/%1/cmdline").arg(entry));
        if (isProcess && cmdline.open(QIODevice::ReadOnly) &&
            cmdline.readAll().split('\0').contains(config))
            found << pid;
    }
    return found;
}
