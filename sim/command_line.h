#pragma once

#include "sim/unit_options.h"

#include <QString>
#include <QStringList>

namespace tarvex::sim {

// tarvex-sim's command line, read without side effects (nothing is printed, nothing exits).
struct CommandLine
{
    UnitOptions options;
    bool helpRequested = false;
    bool versionRequested = false;
    QString error;    // empty when the arguments are sound
    QString helpText; // describes every option
};

// arguments[0] is the program's name, as QCoreApplication::arguments() gives it.
CommandLine parseCommandLine(const QStringList& arguments);

} // namespace tarvex::sim
