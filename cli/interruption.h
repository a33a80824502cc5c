#pragma once

class QCoreApplication;

namespace tarvex::cli::interruption {

// Notes SIGINT and SIGTERM instead of dying, so that the exchange in flight ends and no output
// file is left half-written. The note is taken inside the next event-loop wait.
bool install(QCoreApplication& app);

bool requested();

// Whether work should stop now: requested and not deferred.
bool stopWanted();

// Ends the run (exit 130) when an interruption has been requested, unless deferred.
void checkpoint();

// While deferred, checkpoint() lets the work go on: the bench loop finishes the unit in
// progress and stops after it.
void setDeferred(bool deferred);

} // namespace tarvex::cli::interruption
