#include "net/ssh_command.h"

#include "net/shell_words.h"

namespace tarvex::link {
namespace {

QString bracketed(const QString& host)
{
    return host.contains(u':') ? QStringLiteral("[%1]").arg(host) : host;
}

} // namespace

std::optional<QStringList> sshCommandWords(QString* wrong)
{
    const QString command = qEnvironmentVariable("TARVEX_SSH_COMMAND");
    if (command.trimmed().isEmpty())
        return QStringList{QStringLiteral("ssh")};
    QString why;
    const std::optional<QStringList> words = shellWords(command, &why);
    if (!words || words->isEmpty() || words->first().isEmpty()) {
        *wrong = QStringLiteral("TARVEX_SSH_COMMAND (\"%1\") names no program%2")
                     .arg(command, why.isEmpty() ? QString() : QStringLiteral(": ") + why);
        return std::nullopt;
    }
    return words;
}

QStringList sshBatchOptions()
{
    return {QStringLiteral("-o"), QStringLiteral("BatchMode=yes")};
}

QStringList sshLoginArguments(const SshLogin& login)
{
    QStringList arguments;
    if (login.port)
        arguments << QStringLiteral("-p") << QString::number(*login.port);
    if (!login.user.isEmpty())
        arguments << QStringLiteral("-l") << login.user;
    arguments << login.host;
    return arguments;
}

QStringList sshSharedConnectionArguments(const SshLogin& login, const QString& controlPath)
{
    return sshBatchOptions() +
           QStringList{QStringLiteral("-M"), QStringLiteral("-N"),
                       QStringLiteral("-o"), QStringLiteral("ControlPath=") + controlPath,
                       QStringLiteral("-o"), QStringLiteral("ControlPersist=no")} +
           sshLoginArguments(login);
}

QStringList sshLineArguments(const SshLogin& login, const QString& controlPath,
                             const QString& target)
{
    QStringList arguments = sshBatchOptions() << QStringLiteral("-v");
    if (!controlPath.isEmpty())
        arguments << QStringLiteral("-o") << QStringLiteral("ControlPath=") + controlPath
                  << QStringLiteral("-o") << QStringLiteral("ControlMaster=no");
    if (!target.isEmpty())
        arguments << QStringLiteral("-W") << target;
    return arguments + sshLoginArguments(login);
}

QString sshTarget(const LineAddress& address)
{
    return QStringLiteral("%1:%2").arg(bracketed(address.host)).arg(address.port);
}

QString sshServerName(const SshLogin& login)
{
    QString name = login.user.isEmpty() ? QString() : login.user + u'@';
    name += login.port ? QStringLiteral("%1:%2").arg(bracketed(login.host)).arg(*login.port)
                       : login.host;
    return name;
}

} // namespace tarvex::link
