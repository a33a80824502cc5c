#pragma once

#include <functional>

class QCoreApplication;

namespace tarvex::cli::console_interrupts {

// Has noted called in app's thread, from its event loop, each time the user or the system asks
// the program to stop: on POSIX SIGINT, SIGTERM and SIGHUP (a closed terminal or SSH session);
// on Windows Ctrl-C, Ctrl-Break and a closed console window. The program is not ended: it
// decides when. False when the system refused the handler.
bool install(QCoreApplication& app, std::function<void()> noted);

} // namespace tarvex::cli::console_interrupts
