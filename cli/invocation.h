#pragma once

#include "cli/parsed_line.h"
#include "link/device_name.h"
#include "link/link.h"

#include <QString>
#include <QStringList>

#include <chrono>
#include <optional>

namespace tarvex::cli {

// One run of the program, as the command line asked for it.
struct Invocation
{
    QString command;         // ports, scan, read, diff, apply, message
    QStringList arguments;   // what follows the command
    link::DeviceName device; // --device, else TARVEX_DEVICE
    QStringList ports;       // --port N=DEVICE
    bool json = false;
    bool quiet = false;
    QString tracePath;
    std::chrono::milliseconds replyWait = link::kReplyWait;
    QString outputPath; // read -o
    bool noMessages = false;
    bool check = false;
    QString messageFile; // message set --file
    bool loop = false;   // apply --loop: unit after unit on one port
    QString reportPath;  // --report: one JSON line per unit
    int count = 0;       // --count: stop after this many units; 0 for no limit
};

using ParsedCommandLine = ParsedLine<Invocation>;

// --help and --version answer without a unit; a usage error gives exit 64 and its reason.
ParsedCommandLine parseCommandLine(const QStringList& arguments, const QString& environmentDevice);

} // namespace tarvex::cli
