#include "net/ssh_process.h"

#include <QProcess>

#include <csignal>
#include <sys/prctl.h>
#include <sys/resource.h>
#include <unistd.h>

namespace tarvex::link::ssh_process {
namespace {

constexpr int kStopWithinMs = 2000;

} // namespace

void prepare(QProcess& process)
{
    process.setChildProcessModifier([] {
        ::setpgid(0, 0);
        ::prctl(PR_SET_PDEATHSIG, SIGTERM);
    });
}

void allowManyChildren()
{
    rlimit limit{};
    if (::getrlimit(RLIMIT_NOFILE, &limit) == 0 && limit.rlim_cur < limit.rlim_max) {
        limit.rlim_cur = limit.rlim_max;
        ::setrlimit(RLIMIT_NOFILE, &limit); // where it is refused, the old limit stays
    }
}

void stop(QProcess& process)
{
    process.terminate();
    if (!process.waitForFinished(kStopWithinMs)) {
        process.kill();
        process.waitForFinished(kStopWithinMs);
    }
}

bool sharesConnections()
{
    return true;
}

QString installHint()
{
    return QStringLiteral("install OpenSSH's client (Debian: sudo apt-get install openssh-client)");
}

} // namespace tarvex::link::ssh_process
