#include "cli/blocking_step.h"

#include "cli/interruption.h"

#include <QCoreApplication>
#include <QEventLoop>

#include <thread>

namespace tarvex::cli {
namespace {

// Shared by the waiting thread and the step's: the step may outlive the wait.
struct Wait
{
    bool done = false;
    QEventLoop* loop = nullptr;
};

} // namespace

void runBlocking(std::function<void()> step)
{
    auto wait = std::make_shared<Wait>();
    QCoreApplication* application = QCoreApplication::instance();
    std::thread([wait, application, step = std::move(step)]() mutable {
        step();
        step = nullptr; // what it held goes before the waiting thread goes on
        // Told in the waiting thread, where wait is only ever touched.
        QMetaObject::invokeMethod(
            application,
            [wait] {
                wait->done = true;
                if (wait->loop)
                    wait->loop->quit();
            },
            Qt::QueuedConnection);
    }).detach();

    QEventLoop loop;
    wait->loop = &loop;
    interruption::whenRequested(&loop, [&loop] { loop.quit(); });
    if (!interruption::requested())
        loop.exec();
    wait->loop = nullptr;
    if (!wait->done)
        interruption::end();
}

} // namespace tarvex::cli
