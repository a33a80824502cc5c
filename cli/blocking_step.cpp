#include "cli/blocking_step.h"

#include "cli/interruption.h"

#include <QObject>

namespace tarvex::cli {

void runBlocking(std::function<void()> step)
{
    files::BlockingStep blocking(std::move(step));
    QObject context;
    interruption::whenRequested(&context, [&blocking] { blocking.stop(); });
    if (interruption::requested())
        blocking.stop();
    if (!blocking.wait())
        interruption::end();
}

} // namespace tarvex::cli
