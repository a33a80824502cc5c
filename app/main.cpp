#include "app/command_line.h"
#include "app/demo_units.h"
#include "app/display_guard.h"
#include "app/main_window.h"
#include "link/port_map.h"

#include <QApplication>

#include <cstdio>
#include <memory>
#include <optional>

namespace {

int fail(const QString& message)
{
    std::fprintf(stderr, "tarvex-configurator: %s\n", qPrintable(message));
    return 2;
}

std::unique_ptr<QApplication> openWindowSystem(int& argc, char* argv[])
{
    const tarvex::app::DisplayGuard guard;
    return std::make_unique<QApplication>(argc, argv);
}

} // namespace

int main(int argc, char* argv[])
{
    tarvex::app::answerHelpAndVersion(argc, argv);
    const std::unique_ptr<QApplication> app = openWindowSystem(argc, argv);
    tarvex::app::describeApplication();
    // Lets desktops match the window to its menu entry (and so to its icon).
    QGuiApplication::setDesktopFileName(QStringLiteral("com.tarvex.configurator"));
    const tarvex::app::CommandLine options = tarvex::app::readCommandLine(*app);

    tarvex::app::DemoUnits demoUnits;
    std::optional<tarvex::link::PortMap> ports = tarvex::link::PortMap::system();
    if (options.demo) {
        if (!demoUnits.start())
            return fail(demoUnits.errorString());
        ports = demoUnits.ports();
    } else if (!options.ports.isEmpty()) {
        QString error;
        ports = tarvex::link::PortMap::fromPortOptions(options.ports, &error);
        if (!ports)
            return fail(error);
    }

    tarvex::app::MainWindow window(*ports);
    window.showCentred();
    return app->exec();
}
