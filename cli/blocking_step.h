#pragma once

#include <functional>
#include <memory>
#include <optional>

namespace tarvex::cli {

// Runs a step that may block in the system for as long as another program pleases (opening
// a FIFO that has no other end yet, reading a pipe) on a thread of its own, while this thread
// waits in its event loop: Ctrl-C then still ends the run (the interruption's Failure is
// thrown, and the abandoned step ends with the process). The step must own what it touches.
void runBlocking(std::function<void()> step);

// The same for a step with a result.
template <typename T> T runBlocking(std::function<T()> step)
{
    auto result = std::make_shared<std::optional<T>>();
    runBlocking([result, step = std::move(step)] { *result = step(); });
    return std::move(**result);
}

} // namespace tarvex::cli
