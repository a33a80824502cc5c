#pragma once

#include <QString>

namespace tarvex::link {

// Why an ssh child ended, read from what it wrote on its standard error, in a technician's words
// with what to do. OpenSSH's own texts are stable across its releases; an unknown one is
// passed on as it is.
struct SshFailure
{
    enum class Kind {
        Unreachable,    // the SSH host does not answer, refuses, or does not resolve
        HostKeyUnknown, // not in known_hosts: never accepted here
        HostKeyChanged, // differs from known_hosts: never accepted
        LoginRefused,   // no key or agent identity the server takes
        TargetRefused,  // the SSH host could not connect to the tunnel's target
        Other,
    };
    Kind kind = Kind::Other;
    QString message;
};

// server names the SSH host as the user wrote it; target the tunnel's HOST:PORT (empty for a
// console server's session).
SshFailure sshFailureOf(const QString& standardError, const QString& server, const QString& target);

} // namespace tarvex::link
