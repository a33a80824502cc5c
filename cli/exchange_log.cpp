#include "cli/exchange_log.h"

#include "cli/blocking_step.h"
#include "cli/exit_codes.h"
#include "files/whole_write.h"
#include "link/exchange_trace.h"
#include "link/link.h"

#include <QDateTime>

#include <cstdio>

namespace tarvex::cli {

ExchangeLog::ExchangeLog(const QString& tracePath, bool showProgress)
    : tracePath_(tracePath), showProgress_(showProgress)
{
    if (tracePath.isEmpty())
        return;
    auto trace = std::make_shared<QFile>(tracePath);
    if (!runBlocking<bool>([trace] {
            return trace->open(QIODevice::WriteOnly | QIODevice::Append | QIODevice::Text |
                               QIODevice::Unbuffered);
        }))
        throw Failure(Exit::CannotWriteOutput, QStringLiteral("output-unwritable"),
                      QStringLiteral("cannot append to the trace file %1: %2")
                          .arg(tracePath, trace->errorString()));
    trace_ = std::move(trace);
}

ExchangeLog::~ExchangeLog()
{
    clearProgress();
}

void ExchangeLog::watch(link::Link& link, const QString& device)
{
    device_ = device;
    connect(&link, &link::Link::waitStarted, this,
            [this, &link] { onWaitStarted(link.sentLine()); });
    connect(&link, &link::Link::exchangeEnded, this, &ExchangeLog::onExchangeEnded);
}

void ExchangeLog::note(const QString& text)
{
    if (!trace_ || !traceLost_.isEmpty())
        return;
    const QByteArray line = link::traceLine(QDateTime::currentDateTimeUtc(), text).toUtf8();
    if (const auto reason = files::writeWhole(*trace_, line))
        traceLost_ = *reason;
}

void ExchangeLog::checkTrace() const
{
    if (!traceLost_.isEmpty())
        throw Failure(
            Exit::CannotWriteOutput, QStringLiteral("output-unwritable"),
            QStringLiteral("cannot write to the trace file %1: %2").arg(tracePath_, traceLost_));
}

QString ExchangeLog::escaped(const QString& bytes)
{
    return link::escaped(bytes);
}

void ExchangeLog::onWaitStarted(const QString& command)
{
    ++count_;
    if (!showProgress_)
        return;
    const QString of = expected_ > 0 ? QStringLiteral(" of %1").arg(expected_) : QString();
    std::fprintf(stderr, "\r\033[K%s  exchange %d%s  %s", qPrintable(device_), count_,
                 qPrintable(of), qPrintable(escaped(command.trimmed())));
    std::fflush(stderr);
    progressShown_ = true;
}

void ExchangeLog::onExchangeEnded(const link::TracedExchange& exchange)
{
    note(link::traceText(exchange));
}

void ExchangeLog::clearProgress()
{
    if (!progressShown_)
        return;
    std::fputs("\r\033[K", stderr);
    std::fflush(stderr);
    progressShown_ = false;
}

} // namespace tarvex::cli
