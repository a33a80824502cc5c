#include "register/site_state.h"

#include <QJsonDocument>
#include <QJsonObject>

namespace tarvex::fleet {
namespace {

QDateTime timeFrom(const QJsonValue& value)
{
    return QDateTime::fromString(value.toString(), Qt::ISODate);
}

QJsonValue timeValue(const QDateTime& time)
{
    return time.isValid() ? QJsonValue(isoTime(time)) : QJsonValue();
}

} // namespace

QString isoTime(const QDateTime& time)
{
    return time.isValid() ? time.toUTC().toString(Qt::ISODate) : QString();
}

RunState parseRunState(const QByteArray& bytes)
{
    RunState state;
    const QJsonObject sites = QJsonDocument::fromJson(bytes).object();
    for (auto it = sites.begin(); it != sites.end(); ++it) {
        const QJsonObject site = it.value().toObject();
        state.insert(it.key(), {timeFrom(site.value(QStringLiteral("last_read"))),
                                timeFrom(site.value(QStringLiteral("last_change"))),
                                timeFrom(site.value(QStringLiteral("last_attempt"))),
                                site.value(QStringLiteral("failures")).toInt(),
                                site.value(QStringLiteral("error")).toString(),
                                site.value(QStringLiteral("last_read_changed")).toBool()});
    }
    return state;
}

QByteArray runStateText(const RunState& state)
{
    QJsonObject sites;
    for (auto it = state.begin(); it != state.end(); ++it)
        sites.insert(it.key(),
                     QJsonObject{{QStringLiteral("last_read"), timeValue(it->lastRead)},
                                 {QStringLiteral("last_change"), timeValue(it->lastChange)},
                                 {QStringLiteral("last_attempt"), timeValue(it->lastAttempt)},
                                 {QStringLiteral("failures"), it->failures},
                                 {QStringLiteral("error"), it->error},
                                 {QStringLiteral("last_read_changed"), it->lastReadChanged}});
    return QJsonDocument(sites).toJson(QJsonDocument::Indented);
}

void noteRead(SiteState& state, const QDateTime& when, bool changed)
{
    state.lastRead = state.lastAttempt = when;
    state.lastReadChanged = changed;
    if (changed)
        state.lastChange = when;
    state.failures = 0;
    state.error.clear();
}

void noteFailure(SiteState& state, const QDateTime& when, const QString& error)
{
    state.lastAttempt = when;
    ++state.failures;
    state.error = error;
}

QStringList flagsOf(const StatusFacts& facts, const QDateTime& now, std::chrono::hours stale)
{
    const SiteState& state = facts.state;
    QStringList flags;
    if (state.lastReadChanged)
        flags << QStringLiteral("changed");
    if (facts.drifted)
        flags << QStringLiteral("drifted");
    const bool everRead = state.lastRead.isValid() || facts.hasFile;
    if (everRead && (!state.lastRead.isValid() ||
                     state.lastRead.secsTo(now) > std::chrono::seconds(stale).count()))
        flags << QStringLiteral("stale");
    if (state.failures > 0)
        flags << QStringLiteral("failing");
    if (!everRead)
        flags << QStringLiteral("never-read");
    return flags;
}

} // namespace tarvex::fleet
