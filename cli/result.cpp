#include "cli/result.h"

#include <QJsonArray>
#include <QJsonDocument>

namespace tarvex::cli {

QJsonArray changesJson(const QList<provisioning::Change>& changes)
{
    QJsonArray array;
    for (const provisioning::Change& change : changes)
        array.append(QJsonObject{
            {QStringLiteral("path"), change.path},
            {QStringLiteral("before"), change.before},
            {QStringLiteral("after"), change.after},
        });
    return array;
}

QJsonValue errorJson(const std::optional<Failure>& error)
{
    if (!error)
        return QJsonValue::Null;
    return QJsonObject{
        {QStringLiteral("kind"), error->kind()},
        {QStringLiteral("message"), error->message()},
        {QStringLiteral("device"), error->device()},
    };
}

QJsonObject resultDocument(const Result& result)
{
    QJsonObject document = result.extra;
    document.insert(QStringLiteral("command"), result.command);
    document.insert(QStringLiteral("ok"), result.ok());
    document.insert(QStringLiteral("changed"), result.changed);
    document.insert(QStringLiteral("check_mode"), result.checkMode);
    document.insert(QStringLiteral("verified"), result.verified);
    document.insert(QStringLiteral("device"), result.device);
    document.insert(QStringLiteral("identity"), result.identity);
    document.insert(QStringLiteral("changes"), changesJson(result.changes));
    document.insert(QStringLiteral("unconfirmed"), changesJson(result.unconfirmed));
    document.insert(QStringLiteral("not_sent"), changesJson(result.notSent));
    document.insert(QStringLiteral("exchanges"), result.exchanges);
    document.insert(QStringLiteral("elapsed_ms"), result.elapsedMs);
    document.insert(QStringLiteral("exit_code"), int(result.exit));
    document.insert(QStringLiteral("error"), errorJson(result.error));
    document.insert(QStringLiteral("warnings"), QJsonArray::fromStringList(result.warnings));
    return document;
}

} // namespace tarvex::cli
