#pragma once

#include "link/link.h"

#include <QString>
#include <QStringList>

#include <chrono>
#include <optional>

namespace tarvex::cli {

// One run of `tarvex-cli fleet`, as the command line asked for it.
struct FleetInvocation
{
    QString command;   // init, backup, status, apply, restore, history, report
    QStringList sites; // the sites named; none: every site
    QString folder;    // --fleet, else TARVEX_FLEET, else the current folder
    int jobs = 32;
    bool json = false;
    bool check = false;
    bool yes = false;
    std::chrono::hours stale{24};
    QString to;       // restore --to
    QString onChange; // --on-change
    QString output;   // report -o
    std::chrono::milliseconds replyWait = link::kReplyWait;
};

struct ParsedFleetLine
{
    std::optional<FleetInvocation> invocation; // nothing: print text and exit with code
    QString text;
    int exitCode = 0;
    QString usageProblem; // for the JSON document of a usage error
};

// arguments as the program got them ("tarvex-cli", "fleet", ...). Usage errors: exit 64.
ParsedFleetLine parseFleetLine(const QStringList& arguments, const QString& environmentFolder);

} // namespace tarvex::cli
