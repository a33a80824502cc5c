#pragma once

#include <QByteArray>
#include <QDateTime>
#include <QMap>
#include <QString>
#include <QStringList>

#include <chrono>
#include <optional>

// What every run changes (times, errors), kept beside the history rather than committed each
// time, and the status flags made of it. Pure.
namespace tarvex::fleet {

struct SiteState
{
    QDateTime lastRead;   // the last good read; invalid: none
    QDateTime lastChange; // the last read that found other values than the one before
    QDateTime lastAttempt;
    int failures = 0; // in a row, since the last good read
    QString error;    // of the last failed attempt
    bool lastReadChanged = false;

    bool operator==(const SiteState&) const = default;
};

using RunState = QMap<QString, SiteState>; // by site name

RunState parseRunState(const QByteArray& bytes); // what cannot be read counts as nothing known
QByteArray runStateText(const RunState& state);

// A good read at when; changed when it found other values than the file held before it.
void noteRead(SiteState& state, const QDateTime& when, bool changed);
void noteFailure(SiteState& state, const QDateTime& when, const QString& error);

inline constexpr std::chrono::hours kDefaultStale{24};

struct StatusFacts
{
    SiteState state;
    bool hasFile = false; // a last good file is in the register
    bool drifted = false; // it differs from its rendered template
};

// From the fixed set, in this order: changed, drifted, stale, failing, never-read.
QStringList flagsOf(const StatusFacts& facts, const QDateTime& now, std::chrono::hours stale);

QString isoTime(const QDateTime& time); // ISO 8601 UTC, or empty when invalid

} // namespace tarvex::fleet
