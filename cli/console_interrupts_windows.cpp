#include "cli/console_interrupts.h"

#include <QCoreApplication>

#include <mutex>
#include <windows.h>

namespace tarvex::cli::console_interrupts {
namespace {

// The system runs the handler on a thread of its own: it only posts the note to the
// application's thread, under a lock that the application's end takes too.
std::mutex targetLock;
QCoreApplication* target = nullptr;
std::function<void()> onNoted;

BOOL WINAPI onConsoleEvent(DWORD event)
{
    {
        const std::lock_guard lock(targetLock);
        if (!target)
            return FALSE; // the program is ending anyway
        QMetaObject::invokeMethod(target, onNoted, Qt::QueuedConnection);
    }
    // A closed console ends the process as soon as the handler returns (and at the latest after
    // the system's grace of some seconds): holding the handler lets the exchange in flight end
    // and the program exit by itself. The wait blocks in the system.
    if (event == CTRL_CLOSE_EVENT || event == CTRL_LOGOFF_EVENT || event == CTRL_SHUTDOWN_EVENT)
        Sleep(INFINITE);
    return TRUE; // Ctrl-C and Ctrl-Break: handled, the program goes on to its checkpoint
}

} // namespace

bool install(QCoreApplication& app, std::function<void()> noted)
{
    {
        const std::lock_guard lock(targetLock);
        target = &app;
        onNoted = std::move(noted);
    }
    // The application's end runs this first, before any of it is taken down.
    qAddPostRoutine([] {
        const std::lock_guard lock(targetLock);
        target = nullptr;
    });
    return SetConsoleCtrlHandler(onConsoleEvent, TRUE) != 0;
}

} // namespace tarvex::cli::console_interrupts
