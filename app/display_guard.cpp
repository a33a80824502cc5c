#include "app/display_guard.h"

#include <cstdio>
#include <cstdlib>

namespace tarvex::app {

namespace {

QStringList heldMessages;

void holdMessage(QtMsgType type, const QMessageLogContext& context, const QString& message)
{
    if (type == QtFatalMsg) {
        std::fprintf(stderr, "tarvex-configurator: cannot open a display for the window (%s).\n",
                     qPrintable(displaySettings()));
        std::_Exit(1); // no core dump, no half-built application to tear down
    }
    heldMessages.append(qFormatLogMessage(type, context, message));
}

QString setting(const char* name)
{
    const QByteArray value = qgetenv(name);
    return value.isEmpty()
               ? QStringLiteral("%1 unset").arg(QLatin1String(name))
               : QStringLiteral("%1=%2").arg(QLatin1String(name), QString::fromLocal8Bit(value));
}

} // namespace

QString displaySettings()
{
    return setting("DISPLAY") + QStringLiteral(", ") + setting("WAYLAND_DISPLAY");
}

DisplayGuard::DisplayGuard() : previous_(qInstallMessageHandler(holdMessage)) {}

DisplayGuard::~DisplayGuard()
{
    qInstallMessageHandler(previous_);
    for (const QString& message : std::as_const(heldMessages))
        std::fprintf(stderr, "%s\n", qPrintable(message));
    heldMessages.clear();
}

} // namespace tarvex::app
