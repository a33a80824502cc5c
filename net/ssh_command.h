#pragma once

#include "net/line_address.h"

#include <QStringList>

#include <optional>

namespace tarvex::link {

// The ssh program and its leading options: TARVEX_SSH_COMMAND split as a shell splits words
// (as git's GIT_SSH_COMMAND), or plain "ssh". nullopt, and why in wrong, when it names nothing.
std::optional<QStringList> sshCommandWords(QString* wrong);

// The options of every ssh we run: batch mode, so that no prompt ever waits on a terminal
// nobody sees. Nothing here accepts an unknown or changed host key: ssh's own checking, at
// least as strict as the user's config, stays in force.
QStringList sshBatchOptions();

// "[-p PORT] [-l USER] HOST", last on the command line.
QStringList sshLoginArguments(const SshLogin& login);

// The shared connection to login's host, in the foreground: its control socket at controlPath.
QStringList sshSharedConnectionArguments(const SshLogin& login, const QString& controlPath);

// One line: over the shared connection at controlPath (or a connection of its own when empty),
// the tunnel to target "HOST:PORT", or with target empty the login's own session (a console
// server's port). Verbose, so that the moment the far end accepts the channel can be seen.
QStringList sshLineArguments(const SshLogin& login, const QString& controlPath,
                             const QString& target);

// "HOST:PORT" of a tunnel's target, an IPv6 host in brackets.
QString sshTarget(const LineAddress& address);

// The SSH host as messages name it: "[USER@]HOST[:PORT]".
QString sshServerName(const SshLogin& login);

} // namespace tarvex::link
