#pragma once

#include <QProcess>
#include <QString>
#include <QTemporaryDir>

// Debian's sshd in the foreground on 127.0.0.1 and a free port, with its own host key, keys,
// authorized_keys and configs in a temporary folder: never the machine's sshd or ~/.ssh. The
// client side is a config for ssh -F whose host aliases each play one part:
//   site      the tunnel's SSH host (its key may forward anywhere)
//   console   a console server's port: its key's forced command bridges the session to a device
//   stranger  a host whose key is not in known_hosts
//   impostor  a host whose key differs from the one in known_hosts
//   nokey     a host that accepts no key of ours
//   nowhere   nothing listens there
// A machine without sshd fails the test: CI installs openssh-server.
class SshServer
{
public:
    SshServer();
    ~SshServer();
    SshServer(const SshServer&) = delete;
    SshServer& operator=(const SshServer&) = delete;

    // True once sshd listens. With logFile, sshd logs there at VERBOSE (each connection and
    // login it accepted) rather than its errors on stderr.
    bool start(const QString& logFile = {});
    quint16 port() const { return port_; }
    quint16 closedPort() const { return closedPortNumber_; } // refuses every connection
    // For TARVEX_SSH_COMMAND: ssh with this server's client config.
    QString sshCommand() const;
    QString clientConfig() const;
    // The console's forced command now bridges its session to device.
    bool bridgeConsoleTo(const QString& device);
    // The ssh processes that run with this server's client config now.
    QList<qint64> sshProcesses() const;

private:
    bool writeFile(const QString& name, const QString& text, bool executable = false);
    bool makeKey(const QString& name);
    QString path(const QString& name) const;
    QString publicKey(const QString& name) const;
    bool writeAuthorizedKeys(const QString& consoleCommand);
    quint16 holdClosedPort();

    QTemporaryDir scratch_;
    QProcess sshd_;
    quint16 port_ = 0;
    int closedPort_ = -1; // the socket that keeps "nowhere"'s port closed
    quint16 closedPortNumber_ = 0;
};
