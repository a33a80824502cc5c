#include "link/exchange_trace.h"

namespace tarvex::link {

QString waitGiven(const TracedExchange& exchange)
{
    if (exchange.lineDelay.count() <= 0)
        return {};
    const QString source = exchange.lineDelaySource.isEmpty()
                               ? QString()
                               : QStringLiteral(", ") + exchange.lineDelaySource;
    return QStringLiteral("(wait %1 ms: %2 + %3 line delay%4)")
        .arg((exchange.replyWait + exchange.lineDelay).count())
        .arg(exchange.replyWait.count())
        .arg(exchange.lineDelay.count())
        .arg(source);
}

QString traceText(const TracedExchange& exchange)
{
    const QString received = exchange.read
                                 ? QStringLiteral("received \"%1\"").arg(escaped(exchange.reply))
                                 : QStringLiteral("read failed");
    const QString wait = waitGiven(exchange);
    const QString waited = wait.isEmpty() ? QString() : QStringLiteral("  ") + wait;
    return QStringLiteral("%1  sent \"%2\"  %3  %4 ms%5")
        .arg(exchange.device, escaped(exchange.command), received)
        .arg(exchange.milliseconds, 0, 'f', 1)
        .arg(waited);
}

QString traceLine(const QDateTime& at, const QString& text)
{
    return QStringLiteral("%1  %2\n").arg(at.toUTC().toString(Qt::ISODateWithMs), text);
}

} // namespace tarvex::link
