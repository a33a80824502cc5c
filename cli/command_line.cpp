#include "cli/exit_codes.h"
#include "cli/invocation.h"

#include <QCommandLineParser>
#include <QCoreApplication>

namespace tarvex::cli {
namespace {

const QString kUsage = QStringLiteral(
    "Commands:\n"
    "  ports                       the serial ports by number, with device, USB ids and links\n"
    "  scan                        every unit that answers the identify query\n"
    "  read [-o FILE] [--no-messages]\n"
    "                              the unit's configuration as a file (stdout or FILE)\n"
    "  diff FILE                   what differs between the unit and FILE (unit -> file)\n"
    "  apply FILE [--check]        writes what differs, reads it back and verifies it\n"
    "  apply FILE --loop [--report FILE] [--count N]\n"
    "                              the same for unit after unit plugged into one port\n"
    "  message get EVENT           one message text\n"
    "  message set EVENT (TEXT | --file F)\n"
    "                              writes one message text and verifies it\n"
    "\n"
    "The unit: --device PATH, else the numbers of --port, else TARVEX_DEVICE, else a scan of\n"
    "the system's serial ports; when several units answer and none is named, nothing is done.\n"
    "EVENT is one of power1_off_to_on, power2_off_to_on, power1_on_to_off, power2_on_to_off,\n"
    "input1_on_to_off, input2_on_to_off, input3_on_to_off, test.\n\n");

struct Arity
{
    int minimum;
    int maximum;
};

std::optional<Arity> arityOf(const QString& command)
{
    if (command == u"ports" || command == u"scan" || command == u"read")
        return Arity{0, 0};
    if (command == u"diff" || command == u"apply")
        return Arity{1, 1};
    if (command == u"message")
        return Arity{2, 3};
    return std::nullopt;
}

ParsedCommandLine usageError(const QString& reason)
{
    return {std::nullopt, QStringLiteral("tarvex-cli: %1\nTry 'tarvex-cli --help'.\n").arg(reason),
            int(Exit::Usage), reason};
}

// The shape of "message get EVENT" and "message set EVENT (TEXT | --file F)".
QString messageUsageProblem(const Invocation& invocation)
{
    const QString verb = invocation.arguments.value(0);
    const qsizetype count = invocation.arguments.size();
    if (verb == u"get")
        return count == 2 ? QString() : QStringLiteral("message get takes one EVENT");
    if (verb == u"set") {
        const bool fromFile = !invocation.messageFile.isEmpty();
        if ((fromFile && count == 2) || (!fromFile && count == 3))
            return {};
        return QStringLiteral("message set takes EVENT and either TEXT or --file F");
    }
    return QStringLiteral("message takes get or set, not \"%1\"").arg(verb);
}

} // namespace

ParsedCommandLine parseCommandLine(const QStringList& arguments, const QString& environmentDevice)
{
    QCommandLineParser parser;
    parser.setApplicationDescription(
        QStringLiteral("Reads, compares and writes the configuration of a Tarvex power-supply "
                       "alert unit as a JSON file."));
    parser.addPositionalArgument(QStringLiteral("command"), QStringLiteral("See below."),
                                 QStringLiteral("COMMAND [ARGUMENTS]"));
    const QCommandLineOption help({QStringLiteral("h"), QStringLiteral("help")},
                                  QStringLiteral("Shows this help and exits."));
    const QCommandLineOption version({QStringLiteral("v"), QStringLiteral("version")},
                                     QStringLiteral("Shows the version and exits."));
    const QCommandLineOption device(
        QStringLiteral("device"),
        QStringLiteral("Talks to the unit on exactly this device (a path, a /dev/serial link, "
                       "COM5 on Windows)."),
        QStringLiteral("PATH"));
    const QCommandLineOption port(
        QStringLiteral("port"),
        QStringLiteral("Port number N (1 to 255) is DEVICE; repeatable. Only these numbers "
                       "are scanned."),
        QStringLiteral("N=DEVICE"));
    const QCommandLineOption json(
        QStringLiteral("json"),
        QStringLiteral("Prints exactly one JSON result document on stdout, also for errors."));
    const QCommandLineOption trace(
        QStringLiteral("trace"),
        QStringLiteral("Appends every exchange to FILE: time, bytes sent and received, duration."),
        QStringLiteral("FILE"));
    const QCommandLineOption quiet(QStringLiteral("quiet"),
                                   QStringLiteral("No progress line and no warnings on stderr."));
    const QCommandLineOption output({QStringLiteral("o"), QStringLiteral("output")},
                                    QStringLiteral("read: writes the file to FILE (atomically, "
                                                   "and only when every exchange succeeded)."),
                                    QStringLiteral("FILE"));
    const QCommandLineOption noMessages(QStringLiteral("no-messages"),
                                        QStringLiteral("read: leaves the eight texts out."));
    const QCommandLineOption check(QStringLiteral("check"),
                                   QStringLiteral("apply: compares only; writes nothing."));
    const QCommandLineOption messageFile(
        QStringLiteral("file"),
        QStringLiteral("message set: the text from F (UTF-8; one final line break dropped)."),
        QStringLiteral("F"));
    const QCommandLineOption loop(
        QStringLiteral("loop"),
        QStringLiteral("apply: waits for a unit, applies, waits until it is gone, and again."));
    const QCommandLineOption report(
        QStringLiteral("report"),
        QStringLiteral("apply --loop: appends one JSON line per unit to FILE."),
        QStringLiteral("FILE"));
    const QCommandLineOption count(QStringLiteral("count"),
                                   QStringLiteral("apply --loop: stops after N units."),
                                   QStringLiteral("N"));
    QCommandLineOption replyWait(QStringLiteral("reply-wait"), QStringLiteral("For tests."),
                                 QStringLiteral("MS"));
    replyWait.setFlags(QCommandLineOption::HiddenFromHelp);
    parser.addOptions({help, version, device, port, json, trace, quiet, output, noMessages, check,
                       messageFile, loop, report, count, replyWait});

    if (!parser.parse(arguments))
        return usageError(parser.errorText());
    if (parser.isSet(help))
        return {std::nullopt, parser.helpText() + u'\n' + kUsage + exitCodeHelp(), 0, {}};
    if (parser.isSet(version))
        return {std::nullopt,
                QStringLiteral("tarvex-cli %1\n").arg(QCoreApplication::applicationVersion()),
                0,
                {}};

    Invocation invocation;
    const QStringList positional = parser.positionalArguments();
    if (positional.isEmpty())
        return usageError(QStringLiteral("a command is missing"));
    invocation.command = positional.first();
    invocation.arguments = positional.mid(1);
    const auto arity = arityOf(invocation.command);
    if (!arity)
        return usageError(QStringLiteral("unknown command \"%1\"").arg(invocation.command));
    if (invocation.arguments.size() < arity->minimum ||
        invocation.arguments.size() > arity->maximum)
        return usageError(
            QStringLiteral("wrong number of arguments for %1").arg(invocation.command));

    invocation.device = parser.isSet(device) ? parser.value(device) : environmentDevice;
    invocation.ports = parser.values(port);
    if (parser.isSet(device) && !invocation.ports.isEmpty())
        return usageError(QStringLiteral("--device and --port exclude each other"));
    if (!invocation.ports.isEmpty() && !parser.isSet(device))
        invocation.device.clear(); // --port comes before TARVEX_DEVICE
    invocation.json = parser.isSet(json);
    invocation.quiet = parser.isSet(quiet);
    invocation.tracePath = parser.value(trace);
    invocation.outputPath = parser.value(output);
    invocation.noMessages = parser.isSet(noMessages);
    invocation.check = parser.isSet(check);
    invocation.messageFile = parser.value(messageFile);
    if (parser.isSet(replyWait)) {
        bool ok = false;
        const int ms = parser.value(replyWait).toInt(&ok);
        if (!ok || ms < 1)
            return usageError(QStringLiteral("--reply-wait takes milliseconds, 1 or more"));
        invocation.replyWait = std::chrono::milliseconds(ms);
    }
    const bool isRead = invocation.command == u"read";
    if (!isRead && (parser.isSet(output) || invocation.noMessages))
        return usageError(QStringLiteral("-o and --no-messages go with read"));
    if (invocation.check && invocation.command != u"apply")
        return usageError(QStringLiteral("--check goes with apply"));
    if (parser.isSet(messageFile) && invocation.command != u"message")
        return usageError(QStringLiteral("--file goes with message set"));
    invocation.loop = parser.isSet(loop);
    invocation.reportPath = parser.value(report);
    if (invocation.loop && invocation.command != u"apply")
        return usageError(QStringLiteral("--loop goes with apply"));
    if (!invocation.loop && (parser.isSet(report) || parser.isSet(count)))
        return usageError(QStringLiteral("--report and --count go with apply --loop"));
    if (invocation.loop && invocation.check)
        return usageError(QStringLiteral("--loop writes; it does not go with --check"));
    if (parser.isSet(count)) {
        bool ok = false;
        invocation.count = parser.value(count).toInt(&ok);
        if (!ok || invocation.count < 1)
            return usageError(QStringLiteral("--count takes a number of units, 1 or more"));
    }
    if (invocation.command == u"message") {
        if (const QString problem = messageUsageProblem(invocation); !problem.isEmpty())
            return usageError(problem);
    }
    return {invocation, {}, 0, {}};
}

} // namespace tarvex::cli
