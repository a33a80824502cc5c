#include "net/ssh_failure.h"

#include <QRegularExpression>
#include <QStringList>

namespace tarvex::link {
namespace {

// The last line that says something: ssh's debug lines and blanks are not its reason.
QString lastWords(const QString& standardError)
{
    const QStringList lines = standardError.split(u'\n');
    for (auto line = lines.crbegin(); line != lines.crend(); ++line) {
        const QString text = line->trimmed();
        if (!text.isEmpty() && !text.startsWith(QLatin1String("debug")))
            return text;
    }
    return {};
}

QString fingerprintIn(const QString& standardError)
{
    static const QRegularExpression fingerprint(QStringLiteral("(SHA256:[A-Za-z0-9+/=]+)"));
    return fingerprint.match(standardError).captured(1);
}

SshFailure hostKeyFailure(const QString& standardError, const QString& server)
{
    if (standardError.contains(QLatin1String("IDENTIFICATION HAS CHANGED")))
        return {SshFailure::Kind::HostKeyChanged,
                QStringLiteral("the host key of the SSH host %1 has CHANGED since it was trusted "
                               "(it now shows %2): someone may be intercepting the line, so it "
                               "is refused. If the key was replaced on purpose, check the new "
                               "fingerprint with the site, then remove the old key with "
                               "ssh-keygen -R %1")
                    .arg(server, fingerprintIn(standardError))};
    return {SshFailure::Kind::HostKeyUnknown,
            QStringLiteral("the host key of the SSH host %1 is not known (not in known_hosts), so "
                           "it is refused. Trust it once after checking its fingerprint: connect "
                           "with ssh %1 by hand, or add the output of ssh-keyscan %1 to "
                           "known_hosts")
                .arg(server)};
}

} // namespace

SshFailure sshFailureOf(const QString& standardError, const QString& server, const QString& target)
{
    const QString words = lastWords(standardError);
    if (standardError.contains(QLatin1String("Host key verification failed")) ||
        standardError.contains(QLatin1String("IDENTIFICATION HAS CHANGED")))
        return hostKeyFailure(standardError, server);
    if (standardError.contains(QLatin1String("Permission denied")))
        return {SshFailure::Kind::LoginRefused,
                QStringLiteral("the SSH host %1 refused the login (%2): no key of the agent or "
                               "the SSH config is accepted there, and no password is asked")
                    .arg(server, words)};
    if (!target.isEmpty() && (standardError.contains(QLatin1String("open failed")) ||
                              standardError.contains(QLatin1String("forwarding failed")) ||
                              standardError.contains(QLatin1String("forwarding request failed"))))
        return {SshFailure::Kind::TargetRefused,
                QStringLiteral("the SSH host %1 took the login but could not connect to %2 (%3): "
                               "is the terminal server listening there, and may this key "
                               "forward to it?")
                    .arg(server, target,
                         standardError.contains(QLatin1String("prohibited"))
                             ? QStringLiteral("forwarding there is not permitted")
                             : words)};
    static const QRegularExpression unreachable(
        QStringLiteral("Could not resolve hostname|connect to host|Connection (refused|timed "
                       "out|closed)|No route to host|Network is unreachable"));
    if (unreachable.match(standardError).hasMatch())
        return {SshFailure::Kind::Unreachable,
                QStringLiteral("cannot reach the SSH host %1: %2").arg(server, words)};
    return {SshFailure::Kind::Other,
            words.isEmpty() ? QStringLiteral("ssh to %1 ended without a word").arg(server)
                            : QStringLiteral("ssh to %1: %2").arg(server, words)};
}

} // namespace tarvex::link
