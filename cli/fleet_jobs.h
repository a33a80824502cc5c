#pragma once

#include <QList>

#include <functional>

namespace tarvex::cli {

// Runs tasks at once, each on a thread of its own with its own event loop, at most jobs at a
// time: an exchange waits in a local event loop, and nested loops on one thread could not
// overlap. The calling thread waits in its event loop meanwhile, so that Ctrl-C is noted;
// once it is, no further task starts, and those running end after their exchange in flight.
// Returns when every started task has ended.
void runAtOnce(const QList<std::function<void()>>& tasks, int jobs);

} // namespace tarvex::cli
