#pragma once

#include <QMetaObject>

#include <functional>

class QCoreApplication;
class QObject;

namespace tarvex::cli::interruption {

// Notes the console's interruptions (console_interrupts.h) instead of dying, so that the exchange
// in flight ends and no output file is left half-written. The note is taken inside the next
// event-loop wait.
bool install(QCoreApplication& app);

bool requested();

// Calls then in context's thread when an interruption is noted, so that a wait can end.
QMetaObject::Connection whenRequested(QObject* context, std::function<void()> then);

// Ends the run now (exit 130), deferred or not: for a wait on a file, which has no exchange.
[[noreturn]] void end();

// Whether work should stop now: requested and not deferred.
bool stopWanted();

// Ends the run (exit 130) when an interruption has been requested, unless deferred.
void checkpoint();

// While deferred, checkpoint() lets the work go on: the bench loop finishes the unit in
// progress and stops after it.
void setDeferred(bool deferred);

} // namespace tarvex::cli::interruption
