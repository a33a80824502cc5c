#include "net/ssh_process.h"

#include <QProcess>

#include <memory>

#include <windows.h>

namespace tarvex::link::ssh_process {
namespace {

constexpr int kStopWithinMs = 2000;

// One job for all our children, its handle never closed by us and never inherited: when this
// program ends, however it ends, the system closes the handle and ends every process in the job
// (ssh.exe and whatever it started, a ProxyCommand).
HANDLE childrenJob()
{
    static const HANDLE job = [] {
        HANDLE made = ::CreateJobObjectW(nullptr, nullptr);
        JOBOBJECT_EXTENDED_LIMIT_INFORMATION limits{};
        limits.BasicLimitInformation.LimitFlags = JOB_OBJECT_LIMIT_KILL_ON_JOB_CLOSE;
        if (made && !::SetInformationJobObject(made, JobObjectExtendedLimitInformation, &limits,
                                               sizeof limits)) {
            ::CloseHandle(made);
            made = nullptr;
        }
        return made;
    }();
    return job;
}

} // namespace

// The child starts suspended and runs only once it is in the job, so that nothing it starts
// can escape the job in between.
void prepare(QProcess& process)
{
    const auto started = std::make_shared<PROCESS_INFORMATION*>(nullptr);
    process.setCreateProcessArgumentsModifier(
        [started](QProcess::CreateProcessArguments* arguments) {
            arguments->flags |= CREATE_NEW_PROCESS_GROUP | CREATE_SUSPENDED;
            *started = arguments->processInformation;
        });
    QObject::connect(&process, &QProcess::started, &process, [started] {
        const PROCESS_INFORMATION* child = *started;
        if (!child)
            return;
        if (const HANDLE job = childrenJob())
            ::AssignProcessToJobObject(job, child->hProcess);
        ::ResumeThread(child->hThread);
    });
}

void allowManyChildren() {}

void stop(QProcess& process)
{
    process.kill();
    process.waitForFinished(kStopWithinMs);
}

bool sharesConnections()
{
    return false;
}

QString installHint()
{
    return QStringLiteral(
        "add Windows' optional feature \"OpenSSH Client\" (Settings > System > Optional "
        "features, or in an administrator's PowerShell: Add-WindowsCapability -Online -Name "
        "OpenSSH.Client~~~~0.0.1.0), or name another ssh in TARVEX_SSH_COMMAND");
}

} // namespace tarvex::link::ssh_process
