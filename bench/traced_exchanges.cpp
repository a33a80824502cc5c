#include "traced_exchanges.h"

#include <QFile>
#include <QRegularExpression>

#include <algorithm>

Exchanges exchangesIn(const QString& tracePath)
{
    static const QRegularExpression line(
        QStringLiteral(
            R"(^(\S+Z) .*  ([\d.]+) ms  \(wait (\d+) ms: \d+ \+ (\d+) line delay[^)]*\)$)"),
        QRegularExpression::MultilineOption);
    QFile trace(tracePath);
    Exchanges exchanges;
    if (!trace.open(QIODevice::ReadOnly))
        return exchanges;
    auto matches = line.globalMatch(QString::fromUtf8(trace.readAll()));
    while (matches.hasNext()) {
        const auto match = matches.next();
        const QDateTime start = QDateTime::fromString(match.captured(1), Qt::ISODateWithMs);
        if (exchanges.count++ == 0)
            exchanges.firstStart = start;
        exchanges.waitMs += match.captured(3).toDouble();
        exchanges.spanMs =
            double(exchanges.firstStart.msecsTo(start)) + match.captured(2).toDouble();
        exchanges.lineDelayMs = std::max(exchanges.lineDelayMs, match.captured(4).toInt());
    }
    return exchanges;
}
