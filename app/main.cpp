#include "app/demo_units.h"
#include "app/frm_main.h"
#include "link/port_map.h"

#include <QApplication>
#include <QCommandLineParser>
#include <QScreen>

#include <cstdio>
#include <optional>

namespace {

struct Options
{
    bool demo = false;
    QStringList ports;
};

Options parseOptions(const QApplication& app)
{
    QCommandLineParser parser;
    parser.setApplicationDescription(
        QStringLiteral("Finds the power-supply alert unit on a serial port and edits its "
                       "phone numbers, event switches and message texts."));
    parser.addHelpOption();
    parser.addVersionOption();
    const QCommandLineOption port(
        QStringLiteral("port"),
        QStringLiteral("Port number N (1 to 255) is DEVICE; repeatable. When given, only these "
                       "numbers exist."),
        QStringLiteral("N=DEVICE"));
    const QCommandLineOption demo(
        QStringLiteral("demo"),
        QStringLiteral("Work with simulated units instead of the system's ports: a silent "
                       "device on port 1 and the unit on port 2."));
    parser.addOption(port);
    parser.addOption(demo);
    parser.process(app);
    return {parser.isSet(demo), parser.values(port)};
}

void centre(QWidget& window)
{
    const QRect screen = window.screen()->availableGeometry();
    window.move(screen.center() - window.rect().center());
}

int fail(const QString& message)
{
    std::fprintf(stderr, "tarvex-configurator: %s\n", qPrintable(message));
    return 2;
}

} // namespace

int main(int argc, char* argv[])
{
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("tarvex-configurator"));
    QApplication::setApplicationVersion(QStringLiteral(TARVEX_VERSION));
    const Options options = parseOptions(app);

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

    tarvex::app::frmMain window(*ports);
    centre(window);
    window.show();
    return app.exec();
}
