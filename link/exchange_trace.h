#pragma once

#include "line/received_text.h"

#include <QDateTime>
#include <QString>

#include <chrono>

namespace tarvex::link {

// One exchange as a trace records it: where it went, what was sent, what came back (or that
// the read failed), how long the wait took, and over a network the wait it was given: the
// reply wait plus the line's delay.
struct TracedExchange
{
    QString device;
    QString command;
    QString reply;
    bool read = true;
    double milliseconds = 0;
    std::chrono::milliseconds replyWait{};
    std::chrono::milliseconds lineDelay{}; // none on a serial port
    QString lineDelaySource{};             // how the line learnt it
};

// The wait a network line's exchange was given and how its delay was learnt,
// "(wait 203 ms: 200 + 3 line delay, timed by the TCP connect)"; empty on
// a serial port, whose wait never changes.
QString waitGiven(const TracedExchange& exchange);

// What an exchange adds to a trace after the time stamp.
QString traceText(const TracedExchange& exchange);

// One trace line, newline included: the UTC time stamp to the millisecond, then text.
QString traceLine(const QDateTime& at, const QString& text);

} // namespace tarvex::link
