#pragma once

#include "cli/exit_codes.h"
#include "provisioning/differences.h"

#include <QByteArray>
#include <QJsonArray>
#include <QJsonObject>
#include <QList>
#include <QString>
#include <QStringList>

#include <optional>

namespace tarvex::cli {

// What a run did, for the JSON result document and for the plain output.
struct Result
{
    QString command;
    bool changed = false; // something went out to be written (with --check: would be)
    bool checkMode = false;
    bool verified = false; // the unit was shown to hold what the file manages
    QString device;
    QString identity;
    QList<provisioning::Change> changes;     // what was written (or, with --check, would be)
    QList<provisioning::Change> unconfirmed; // sent, unanswered when the run ended: may be held
    QList<provisioning::Change> notSent;     // planned, but the run ended before they were written
    int exchanges = 0;
    qint64 elapsedMs = 0;
    Exit exit = Exit::Done;
    std::optional<Failure> error;
    QStringList warnings;   // also printed on stderr unless --quiet
    QJsonObject extra;      // per command: configuration, units, ports, message
    QByteArray plainOutput; // stdout without --json

    bool ok() const { return !error && (exit == Exit::Done || exit == Exit::Differences); }
    void fail(const Failure& failure)
    {
        error = failure;
        exit = failure.code();
    }
};

// {"command", "ok", "changed", "check_mode", "verified", "device", "identity", "changes",
//  "unconfirmed", "not_sent", "exchanges", "elapsed_ms", "exit_code", "error", "warnings",
//  ...extra}
QJsonObject resultDocument(const Result& result);

// {"kind", "message", "device"}, or null.
QJsonValue errorJson(const std::optional<Failure>& error);

// [{"path", "before", "after"}, ...]: the result document's and the bench report's changes.
QJsonArray changesJson(const QList<provisioning::Change>& changes);

} // namespace tarvex::cli
