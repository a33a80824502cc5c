#pragma once

#include "cli/parsed_line.h"
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

using ParsedFleetLine = ParsedLine<FleetInvocation>;

// arguments as the program got them ("tarvex-cli", "fleet", ...). Usage errors: exit 64.
ParsedFleetLine parseFleetLine(const QStringList& arguments, const QString& environmentFolder);

} // namespace tarvex::cli
