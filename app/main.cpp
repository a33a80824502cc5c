#include "app/command_line.h"
#include "app/display_guard.h"
#include "app/main_window.h"
#include "demo/in_process_port.h"
#include "link/line_port.h"
#include "link/port_map.h"

#include <QApplication>

#include <memory>
#include <optional>

namespace {

std::unique_ptr<QApplication> openWindowSystem(int& argc, char* argv[])
{
    const tarvex::app::DisplayGuard guard;
    return std::make_unique<QApplication>(argc, argv);
}

} // namespace

int main(int argc, char* argv[])
{
    const std::optional<tarvex::link::PortMap> pinned = tarvex::app::readBeforeDisplay(argc, argv);
    const std::unique_ptr<QApplication> app = openWindowSystem(argc, argv);
    tarvex::app::describeApplication();
    // Lets desktops match the window to its menu entry (and so to its icon).
    QGuiApplication::setDesktopFileName(QStringLiteral("com.tarvex.configurator"));
    const tarvex::app::CommandLine options = tarvex::app::readCommandLine(*app);

    std::unique_ptr<tarvex::link::Port> port;
    if (options.demo)
        port = tarvex::demo::demoUnits();
    else
        port = std::make_unique<tarvex::link::LinePort>(pinned ? *pinned
                                                               : tarvex::link::PortMap::system());

    tarvex::app::MainWindow window(std::move(port));
    window.showCentred();
    return app->exec();
}
