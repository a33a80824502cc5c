#pragma once

#include <QStringList>

class QCoreApplication;

namespace tarvex::app {

// tarvex-configurator's options.
struct CommandLine
{
    bool demo = false;
    QStringList ports; // N=DEVICE, as given to --port
};

// Answers --help and --version (and exits) before the window's application exists, so that
// both work where no display can be opened. Anything else is left to readCommandLine.
void answerHelpAndVersion(int argc, char* argv[]);

// Reads the options of the running application; a wrong option is reported, and the program
// exits, as QCommandLineParser::process does.
CommandLine readCommandLine(const QCoreApplication& app);

// The name and version that --version prints and the window's application carries.
void describeApplication();

} // namespace tarvex::app
