#pragma once

#include "link/port_map.h"

#include <optional>

class QCoreApplication;

namespace tarvex::app {

// tarvex-configurator's options.
struct CommandLine
{
    bool demo = false;
};

// Answers --help and --version (and exits), and reads the ports of --port, before the window's
// application exists, so that all three behave the same where no display can be opened. A
// malformed --port is reported and the program exits with code 2. Returns the ports pinned by
// --port, nothing without one. Any other option is left to readCommandLine.
std::optional<link::PortMap> readBeforeDisplay(int argc, char* argv[]);

// Reads the options of the running application; a wrong option is reported, and the program
// exits, as QCommandLineParser::process does.
CommandLine readCommandLine(const QCoreApplication& app);

// The name and version that --version prints and the window's application carries.
void describeApplication();

} // namespace tarvex::app
