#pragma once

#include <QStringList>
#include <QtGlobal>

namespace tarvex::app {

// Qt ends a program with a fatal message, and a core dump, when its platform plugin cannot open
// a display. While a guard lives (around the construction of the window's application), that
// fatal message becomes one line on stderr saying that no display could be opened, and exit
// code 1. The plugin's warnings leading up to it are held back: they are passed on when the
// guard ends, so a start that succeeds still shows them.
class DisplayGuard
{
public:
    DisplayGuard();
    ~DisplayGuard();
    DisplayGuard(const DisplayGuard&) = delete;
    DisplayGuard& operator=(const DisplayGuard&) = delete;

private:
    QtMessageHandler previous_;
};

// "DISPLAY=:0, WAYLAND_DISPLAY unset": where the platform plugin looked for a display.
QString displaySettings();

} // namespace tarvex::app
