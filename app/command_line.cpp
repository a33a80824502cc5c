#include "app/command_line.h"

#include "link/port_option.h"

#include <QCommandLineParser>
#include <QCoreApplication>

#include <cstdio>
#include <cstdlib>

namespace tarvex::app {

namespace {

const QString kDemo = QStringLiteral("demo");

void defineOptions(QCommandLineParser& parser)
{
    parser.setApplicationDescription(
        QStringLiteral("Finds the power-supply alert unit on a serial port and edits its "
                       "phone numbers, event switches and message texts."));
    parser.addHelpOption();
    parser.addVersionOption();
    parser.addOption(link::portOption());
    parser.addOption({kDemo, QStringLiteral("Work with simulated units instead of the system's "
                                            "ports: a silent device on port 1 and the unit on "
                                            "port 2.")});
}

} // namespace

void describeApplication()
{
    QCoreApplication::setApplicationName(QStringLiteral("tarvex-configurator"));
    QCoreApplication::setApplicationVersion(QStringLiteral(TARVEX_VERSION));
}

std::optional<link::PortMap> readBeforeDisplay(int argc, char* argv[])
{
    const QCoreApplication console(argc, argv);
    describeApplication();
    QCommandLineParser parser;
    defineOptions(parser);
    // A wrong option is reported by readCommandLine, after Qt has taken its own (-platform ...).
    parser.parse(console.arguments());
    if (parser.isSet(QStringLiteral("help")))
        parser.showHelp(); // exits
    if (parser.isSet(QStringLiteral("version")))
        parser.showVersion(); // exits
    const QStringList ports = parser.values(link::portOption());
    if (ports.isEmpty())
        return std::nullopt;
    QString error;
    std::optional<link::PortMap> map = link::PortMap::fromPortOptions(ports, &error);
    if (!map) {
        std::fprintf(stderr, "tarvex-configurator: %s\n", qPrintable(error));
        std::exit(2);
    }
    return map;
}

CommandLine readCommandLine(const QCoreApplication& app)
{
    QCommandLineParser parser;
    defineOptions(parser);
    parser.process(app);
    return {parser.isSet(kDemo)};
}

} // namespace tarvex::app
