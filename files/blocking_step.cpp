#include "files/blocking_step.h"

#include <QEventLoop>

#include <mutex>
#include <thread>

namespace tarvex::files {

// Shared by the waiting thread and the step's, which may outlive the wait and the program's
// objects: the step tells the wait only while the wait's loop is there, under the lock.
struct BlockingStep::Shared
{
    std::mutex lock;
    bool done = false;
    QEventLoop* loop = nullptr;
};

BlockingStep::BlockingStep(std::function<void()> step) : shared_(std::make_shared<Shared>())
{
    std::thread([shared = shared_, step = std::move(step)]() mutable {
        step();
        step = nullptr; // what it held goes before the waiting thread goes on
        const std::lock_guard<std::mutex> guard(shared->lock);
        shared->done = true;
        if (shared->loop)
            QMetaObject::invokeMethod(shared->loop, &QEventLoop::quit, Qt::QueuedConnection);
    }).detach();
}

BlockingStep::~BlockingStep() = default;

bool BlockingStep::wait()
{
    QEventLoop loop;
    {
        const std::lock_guard<std::mutex> guard(shared_->lock);
        if (shared_->done || stopped_)
            return shared_->done;
        shared_->loop = &loop;
    }
    loop_ = &loop;
    loop.exec();
    loop_ = nullptr;
    // The loop goes with this frame: a later notice must not reach it.
    const std::lock_guard<std::mutex> guard(shared_->lock);
    shared_->loop = nullptr;
    return shared_->done;
}

void BlockingStep::stop()
{
    stopped_ = true;
    if (loop_)
        loop_->quit();
}

} // namespace tarvex::files
