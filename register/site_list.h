#pragma once

#include "link/device_name.h"

#include <QByteArray>
#include <QJsonObject>
#include <QList>
#include <QString>

#include <optional>

// fleet.json, format 1: the register's list of sites. Pure functions.
namespace tarvex::fleet {

inline constexpr int kListVersion = 1;
QString listFormatName(); // "tarvex-fleet"

struct Site
{
    QString name;            // letters, digits, '-', '_', '.': it names the site's file
    link::DeviceName device; // what --device takes, read as --device reads it
    QString templatePath;    // relative to the register; empty: no template
    QJsonObject values;      // what the template's ${KEY} placeholders are filled with
};

// One broken rule: "site pump-12, field device: ..."; site is empty for the list itself.
struct ListProblem
{
    QString site;
    QString field;
    QString rule;
    QString text() const;
    bool operator==(const ListProblem&) const = default;
};

struct LoadedList
{
    QList<Site> sites; // only when problems is empty
    QList<ListProblem> problems;
};

// Every problem at once: unknown keys, bad names, duplicate names, two sites on one line, a
// malformed device, a template outside the register.
LoadedList parseSiteList(const QByteArray& bytes);

// The list of a new register: no sites yet.
QByteArray emptySiteList();

bool isSiteName(const QString& name);

} // namespace tarvex::fleet
