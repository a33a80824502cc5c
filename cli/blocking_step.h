#pragma once

#include "files/blocking_step.h"

#include <functional>

namespace tarvex::cli {

// Runs a step that may block in the system (files::BlockingStep) while Ctrl-C still ends the
// run: the interruption's Failure is thrown, and the abandoned step ends with the process.
void runBlocking(std::function<void()> step);

// The same for a step with a result.
template <typename T> T runBlocking(std::function<T()> step)
{
    auto result = std::make_shared<std::optional<T>>();
    runBlocking([result, step = std::move(step)] { *result = step(); });
    return std::move(**result);
}

} // namespace tarvex::cli
