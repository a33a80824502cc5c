#pragma once

#include <QString>

namespace tarvex::sim {

// How the simulated unit behaves; every field maps to one tarvex-sim option.
struct UnitOptions
{
    QString identity = QStringLiteral("KTX-210 Tarvex PSI"); // --id
    QString linkPath;                                        // --link: symlink to the terminal side
    QString statePath;         // --state: JSON memory, survives a restart
    QString logPath;           // --log: every byte received, as received
    bool silent = false;       // --silent: never answers
    int delayMs = 0;           // --delay: answers this late
    bool paced = false;        // --paced: replies at 9600 baud, not all at once
    bool echo = false;         // --echo: echoes each command before answering
    bool garbage = false;      // --garbage: junk before each reply
    int hangupAfter = -1;      // --hangup-after: closes the line after this many commands
    int cutAfter = -1;         // --cut-after: closes the line on this command, unanswered
    bool ignoreWrites = false; // --ignore-writes: acknowledges writes, stores nothing
};

} // namespace tarvex::sim
