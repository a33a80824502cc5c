// tarvex-sim: a simulated Tarvex unit on a pseudo-terminal, for tests, demos and development.

#include "sim/command_line.h"
#include "sim/simulated_unit.h"

#include <QCoreApplication>
#include <QSocketNotifier>

#include <csignal>
#include <cstdio>
#include <sys/socket.h>
#include <unistd.h>

namespace {

int signalPipe[2] = {-1, -1};

void onSignal(int)
{
    const char byte = 1;
    [[maybe_unused]] const auto ignored = ::write(signalPipe[1], &byte, 1);
}

// SIGTERM, SIGINT and SIGHUP end the event loop, so the link is removed and the state kept.
bool quitOnSignals(QCoreApplication& app)
{
    if (::socketpair(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0, signalPipe) != 0)
        return false;
    auto* notifier = new QSocketNotifier(signalPipe[0], QSocketNotifier::Read, &app);
    QObject::connect(notifier, &QSocketNotifier::activated, &app, &QCoreApplication::quit);
    struct sigaction action
    {};
    action.sa_handler = onSignal;
    sigemptyset(&action.sa_mask);
    for (const int signal : {SIGTERM, SIGINT, SIGHUP}) {
        if (::sigaction(signal, &action, nullptr) != 0)
            return false;
    }
    return true;
}

} // namespace

int main(int argc, char* argv[])
{
    QCoreApplication app(argc, argv);
    QCoreApplication::setApplicationName(QStringLiteral("tarvex-sim"));

    const tarvex::sim::CommandLine commandLine = tarvex::sim::parseCommandLine(app.arguments());
    if (commandLine.helpRequested && commandLine.error.isEmpty()) {
        std::fputs(qPrintable(commandLine.helpText), stdout);
        return 0;
    }
    if (commandLine.versionRequested && commandLine.error.isEmpty()) {
        std::printf("tarvex-sim %s\n", TARVEX_VERSION);
        return 0;
    }
    if (!commandLine.error.isEmpty()) {
        std::fprintf(stderr, "tarvex-sim: %s\n", qPrintable(commandLine.error));
        std::fprintf(stderr, "Try 'tarvex-sim --help'.\n");
        return 2;
    }
    if (!quitOnSignals(app)) {
        std::perror("tarvex-sim: signals");
        return 1;
    }

    tarvex::sim::SimulatedUnit unit(commandLine.options);
    QObject::connect(&unit, &tarvex::sim::SimulatedUnit::hungUp, &app, &QCoreApplication::quit);
    if (!unit.start()) {
        std::fprintf(stderr, "tarvex-sim: %s\n", qPrintable(unit.errorString()));
        return 1;
    }
    std::printf("%s\n", qPrintable(unit.devicePath()));
    std::fflush(stdout);
    return app.exec();
}
