#include "net/ssh_process.h"

#include <QProcess>

#include <windows.h>

namespace tarvex::link::ssh_process {

// A process group of its own: the console's Ctrl-C reaches only us, and we end the child.
void prepare(QProcess& process)
{
    process.setCreateProcessArgumentsModifier([](QProcess::CreateProcessArguments* arguments) {
        arguments->flags |= CREATE_NEW_PROCESS_GROUP;
    });
}

void allowManyChildren() {}

bool sharesConnections()
{
    return false;
}

QString installHint()
{
    return QStringLiteral("add Windows' optional feature \"OpenSSH Client\" (Settings > System > "
                          "Optional features), or name another ssh in TARVEX_SSH_COMMAND");
}

} // namespace tarvex::link::ssh_process
