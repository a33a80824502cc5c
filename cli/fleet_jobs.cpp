#include "cli/fleet_jobs.h"

#include "cli/interruption.h"

#include <QEventLoop>
#include <QThread>

namespace tarvex::cli {

void runAtOnce(const QList<std::function<void()>>& tasks, int jobs)
{
    QEventLoop loop;
    qsizetype next = 0;
    int running = 0;
    std::function<void()> startMore;
    startMore = [&] {
        while (running < jobs && next < tasks.size() && !interruption::requested()) {
            QThread* thread = QThread::create(tasks.at(next++));
            ++running;
            QObject::connect(thread, &QThread::finished, &loop, [&, thread] {
                thread->wait();
                delete thread;
                --running;
                startMore();
                if (running == 0)
                    loop.quit();
            });
            thread->start();
        }
    };
    startMore();
    if (running > 0)
        loop.exec();
}

} // namespace tarvex::cli
