#pragma once

#include <functional>
#include <memory>
#include <optional>

class QEventLoop;

namespace tarvex::files {

// A step that may block in the system for as long as another program pleases (opening a FIFO
// that has no other end yet, reading a pipe), run on a thread of its own while the caller waits
// in its event loop: an interruption, a Cancel or a closing window still ends the wait. An
// abandoned step goes on until the system lets it go, or the process ends, so it must own
// what it touches.
class BlockingStep
{
public:
    explicit BlockingStep(std::function<void()> step); // starts the step at once
    ~BlockingStep();
    BlockingStep(const BlockingStep&) = delete;
    BlockingStep& operator=(const BlockingStep&) = delete;

    // Waits until the step has ended (true) or stop() is called (false).
    bool wait();
    // Ends the wait at once, or the next one before it begins.
    void stop();

private:
    struct Shared;
    std::shared_ptr<Shared> shared_;
    QEventLoop* loop_ = nullptr; // while waiting
    bool stopped_ = false;
};

// A BlockingStep with a result, kept where an abandoned step can still put it.
template <typename T> class BlockingCall
{
public:
    explicit BlockingCall(std::function<T()> step)
        : result_(std::make_shared<std::optional<T>>()),
          step_([result = result_, step = std::move(step)] { *result = step(); })
    {}

    // The result, or nothing when stopped first.
    std::optional<T> wait() { return step_.wait() ? std::move(*result_) : std::nullopt; }
    void stop() { step_.stop(); }

private:
    std::shared_ptr<std::optional<T>> result_;
    BlockingStep step_;
};

} // namespace tarvex::files
