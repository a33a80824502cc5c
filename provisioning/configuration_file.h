#pragma once

#include "protocol/events.h"
#include "protocol/slots.h"

#include <QByteArray>
#include <QJsonObject>
#include <QList>
#include <QString>
#include <QStringList>

#include <array>
#include <optional>

// The configuration file, format 1: what a unit holds, as data to keep, review and apply.
// Parsing, validation and writing are pure functions. The file names all eight events, the
// three inputs that the window hides included, by protocol's event keys.
namespace tarvex::provisioning {

inline constexpr int kFormatVersion = 1;
using protocol::kEventCount; // the file names every event

QString formatName(); // "tarvex-config"

struct EventSettings
{
    std::optional<bool> enabled;
    std::optional<QString> message; // line breaks as "\n"

    bool operator==(const EventSettings&) const = default;
};

// What a file manages. Whatever it leaves out stays empty here and is neither read nor
// written by apply.
struct ManagedConfiguration
{
    QString identity;                   // informational
    std::optional<QStringList> numbers; // the phone count is how many there are
    std::optional<QString> testNumber;
    std::array<EventSettings, kEventCount> events;

    bool managesEventMask() const;
    bool operator==(const ManagedConfiguration&) const = default;
};

// One broken rule, named by its JSON path: "events.test.message: 83 characters, at most 80".
struct Problem
{
    QString path;
    QString rule;
    QString text() const { return path + QStringLiteral(": ") + rule; }
    bool operator==(const Problem&) const = default;
};

struct Loaded
{
    std::optional<ManagedConfiguration> configuration; // only when there is no problem
    QList<Problem> problems;
};

// Every problem of the file at once, so that one edit can fix them all.
Loaded loadConfiguration(const QByteArray& bytes);

// The rules a configuration built from a unit's memory breaks (read exports it anyway).
QList<Problem> problemsOf(const ManagedConfiguration& configuration);

// The paths used in problems and differences.
QString numberPath(int index);
QString testNumberPath();
QString countPath();
QString enabledPath(int event);
QString messagePath(int event);

QJsonObject toJson(const ManagedConfiguration& configuration);
// The file's text: keys in a fixed, readable order, events in mask order.
QByteArray fileText(const ManagedConfiguration& configuration);

} // namespace tarvex::provisioning
