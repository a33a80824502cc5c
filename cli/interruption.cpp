#include "cli/interruption.h"

#include "cli/console_interrupts.h"
#include "cli/exit_codes.h"

#include <QCoreApplication>

#include <atomic>

namespace tarvex::cli::interruption {
namespace {

// Tells the waits that an interruption was noted, in the application's thread.
class Announcer : public QObject
{
    Q_OBJECT
public:
    using QObject::QObject;
signals:
    void noted();
};

Announcer* announcer = nullptr;
// Read by the register's site threads while the application's thread notes an interruption.
std::atomic<bool> noted = false;
std::atomic<bool> deferredNow = false;

} // namespace

bool install(QCoreApplication& app)
{
    announcer = new Announcer(&app);
    return console_interrupts::install(app, [] {
        noted = true;
        emit announcer->noted();
    });
}

bool requested()
{
    return noted;
}

QMetaObject::Connection whenRequested(QObject* context, std::function<void()> then)
{
    if (!announcer)
        return {};
    return QObject::connect(announcer, &Announcer::noted, context, std::move(then));
}

void end()
{
    throw failureOf(provisioning::interrupted());
}

void setDeferred(bool deferred)
{
    deferredNow = deferred;
}

bool stopWanted()
{
    return noted && !deferredNow;
}

void checkpoint()
{
    if (stopWanted())
        end();
}

} // namespace tarvex::cli::interruption

#include "interruption.moc"
