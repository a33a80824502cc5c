#pragma once

#include <QDateTime>
#include <QString>

// What a tarvex-cli --trace file says of its exchanges: each one's start, its time and the
// window it waited (the reply wait + the line's delay).
struct Exchanges
{
    int count = 0;
    double waitMs = 0;   // the windows waited, 200 ms + line delay each
    double spanMs = 0;   // from the first exchange's start to the last one's end
    int lineDelayMs = 0; // the largest measured
    QDateTime firstStart;
    double ratio() const { return waitMs > 0 ? spanMs / waitMs : 0; }
};

Exchanges exchangesIn(const QString& tracePath);
