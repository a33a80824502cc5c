#include "cli/interruption.h"

#include "cli/exit_codes.h"

#include <QCoreApplication>
#include <QSocketNotifier>

#include <csignal>
#include <sys/socket.h>
#include <unistd.h>

namespace tarvex::cli::interruption {
namespace {

int signalPipe[2] = {-1, -1};
bool noted = false;
bool deferredNow = false;

void onSignal(int)
{
    const char byte = 1;
    [[maybe_unused]] const auto ignored = ::write(signalPipe[1], &byte, 1);
}

} // namespace

bool install(QCoreApplication& app)
{
    if (::socketpair(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0, signalPipe) != 0)
        return false;
    auto* notifier = new QSocketNotifier(signalPipe[0], QSocketNotifier::Read, &app);
    QObject::connect(notifier, &QSocketNotifier::activated, &app, [] {
        char byte = 0;
        [[maybe_unused]] const auto ignored = ::read(signalPipe[0], &byte, 1);
        noted = true;
    });
    struct sigaction action
    {};
    action.sa_handler = onSignal;
    sigemptyset(&action.sa_mask);
    for (const int signal : {SIGINT, SIGTERM}) {
        if (::sigaction(signal, &action, nullptr) != 0)
            return false;
    }
    return true;
}

bool requested()
{
    return noted;
}

void setDeferred(bool deferred)
{
    deferredNow = deferred;
}

bool stopWanted()
{
    return noted && !deferredNow;
}

void checkpoint()
{
    if (stopWanted())
        throw failureOf(provisioning::interrupted());
}

} // namespace tarvex::cli::interruption
