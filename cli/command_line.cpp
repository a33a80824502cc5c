#include "cli/exit_codes.h"
#include "cli/invocation.h"

#include "link/port_option.h"
#include "protocol/events.h"

#include <QCommandLineParser>
#include <QCoreApplication>

#include <functional>
#include <variant>

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
    "Wherever a device is named, tcp://HOST:PORT (raw TCP) or rfc2217://HOST:PORT (Telnet\n"
    "COM-PORT) reaches a unit behind a terminal server; HOST is a name, an IPv4 address or\n"
    "[an IPv6 address]; ?delay=MS gives the network's round trip instead of measuring it.\n");

// "EVENT is one of" and the event keys, four to a line.
QString eventHelp()
{
    const auto& keys = protocol::eventKeys();
    const auto joined = [&](size_t first) {
        return QStringList(keys.begin() + first, keys.begin() + first + keys.size() / 2)
            .join(QStringLiteral(", "));
    };
    return QStringLiteral("EVENT is one of %1,\n%2.\n\n").arg(joined(0), joined(keys.size() / 2));
}

const QString kHelp = QStringLiteral("help");
const QString kVersion = QStringLiteral("version");
const QString kDevice = QStringLiteral("device");
const QString kCount = QStringLiteral("count");
const QString kReplyWait = QStringLiteral("reply-wait");

// Where an option's value goes in the invocation. An option without one (monostate) is read
// by its own step below.
using Flag = bool Invocation::*;
using Text = QString Invocation::*;
using Texts = QStringList Invocation::*;
using Belongs = bool (*)(const Invocation&);

// One tarvex-cli option: how it is written and described, what it sets, and, for an option of
// one command only, when it belongs and the usage error when it does not.
struct OptionRow
{
    QCommandLineOption option;
    std::variant<std::monostate, Flag, Text, Texts> target = {};
    Belongs belongs = nullptr; // nullptr: it goes with every command
    QString misplaced = {};
};

bool isRead(const Invocation& invocation)
{
    return invocation.command == u"read";
}

bool isApply(const Invocation& invocation)
{
    return invocation.command == u"apply";
}

bool isMessage(const Invocation& invocation)
{
    return invocation.command == u"message";
}

bool isLoop(const Invocation& invocation)
{
    return invocation.loop;
}

QCommandLineOption hiddenFromHelp(QCommandLineOption option)
{
    option.setFlags(QCommandLineOption::HiddenFromHelp);
    return option;
}

// In the order --help lists them; misplaced options are refused in this order too.
QList<OptionRow> makeOptionTable()
{
    const QString file = QStringLiteral("FILE");
    const QString readOnly = QStringLiteral("-o and --no-messages go with read");
    const QString loopOnly = QStringLiteral("--report and --count go with apply --loop");
    return {
        {{{QStringLiteral("h"), kHelp}, QStringLiteral("Shows this help and exits.")}},
        {{{QStringLiteral("v"), kVersion}, QStringLiteral("Shows the version and exits.")}},
        {{kDevice,
          QStringLiteral("Talks to the unit on exactly this device (a path, a /dev/serial link, "
                         "COM5 on Windows), or behind a terminal server at tcp://HOST:PORT or "
                         "rfc2217://HOST:PORT (optionally ?delay=MS)."),
          QStringLiteral("PATH")}},
        {link::portOption(), &Invocation::ports},
        {{QStringLiteral("json"),
          QStringLiteral("Prints exactly one JSON result document on stdout, also for errors.")},
         &Invocation::json},
        {{QStringLiteral("trace"),
          QStringLiteral(
              "Appends every exchange to FILE: time, bytes sent and received, duration."),
          file},
         &Invocation::tracePath},
        {{QStringLiteral("quiet"), QStringLiteral("No progress line and no warnings on stderr.")},
         &Invocation::quiet},
        {{{QStringLiteral("o"), QStringLiteral("output")},
          QStringLiteral("read: writes the file to FILE (atomically, and only when every "
                         "exchange succeeded)."),
          file},
         &Invocation::outputPath,
         isRead,
         readOnly},
        {{QStringLiteral("no-messages"), QStringLiteral("read: leaves the eight texts out.")},
         &Invocation::noMessages,
         isRead,
         readOnly},
        {{QStringLiteral("check"), QStringLiteral("apply: compares only; writes nothing.")},
         &Invocation::check,
         isApply,
         QStringLiteral("--check goes with apply")},
        {{QStringLiteral("file"),
          QStringLiteral("message set: the text from F (UTF-8; one final line break dropped)."),
          QStringLiteral("F")},
         &Invocation::messageFile,
         isMessage,
         QStringLiteral("--file goes with message set")},
        {{QStringLiteral("loop"),
          QStringLiteral("apply: waits for a unit, applies, waits until it is gone, and again.")},
         &Invocation::loop,
         isApply,
         QStringLiteral("--loop goes with apply")},
        {{QStringLiteral("report"),
          QStringLiteral("apply --loop: appends one JSON line per unit to FILE."), file},
         &Invocation::reportPath,
         isLoop,
         loopOnly},
        {{kCount, QStringLiteral("apply --loop: stops after N units."), QStringLiteral("N")},
         {},
         isLoop,
         loopOnly},
        {hiddenFromHelp({kReplyWait, QStringLiteral("For tests."), QStringLiteral("MS")})},
    };
}

const QList<OptionRow>& optionTable()
{
    static const QList<OptionRow> table = makeOptionTable();
    return table;
}

ParsedCommandLine usageError(const QString& reason)
{
    return {std::nullopt, QStringLiteral("tarvex-cli: %1\nTry 'tarvex-cli --help'.\n").arg(reason),
            int(Exit::Usage), reason};
}

// A whole number from 1 up, or nothing.
std::optional<int> positiveNumberFrom(const QString& text)
{
    bool ok = false;
    const int value = text.toInt(&ok);
    return ok && value >= 1 ? std::optional<int>(value) : std::nullopt;
}

// Each step reads part of the invocation and answers its usage problem, or an empty string.
using Step = std::function<QString(const QCommandLineParser& parser, Invocation& invocation)>;

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

QString readCommand(const QCommandLineParser& parser, Invocation& invocation)
{
    const QStringList positional = parser.positionalArguments();
    if (positional.isEmpty())
        return QStringLiteral("a command is missing");
    invocation.command = positional.first();
    invocation.arguments = positional.mid(1);
    const auto arity = arityOf(invocation.command);
    if (!arity)
        return QStringLiteral("unknown command \"%1\"").arg(invocation.command);
    if (invocation.arguments.size() < arity->minimum ||
        invocation.arguments.size() > arity->maximum)
        return QStringLiteral("wrong number of arguments for %1").arg(invocation.command);
    return {};
}

QString readOptionValues(const QCommandLineParser& parser, Invocation& invocation)
{
    for (const OptionRow& row : optionTable()) {
        const QString name = row.option.names().constLast();
        if (!parser.isSet(name))
            continue;
        if (const auto* flag = std::get_if<Flag>(&row.target))
            invocation.*(*flag) = true;
        else if (const auto* text = std::get_if<Text>(&row.target))
            invocation.*(*text) = parser.value(name);
        else if (const auto* texts = std::get_if<Texts>(&row.target))
            invocation.*(*texts) = parser.values(name);
    }
    return {};
}

// --device does not go with --port.
QString refuseDeviceWithPorts(const QCommandLineParser& parser, Invocation& invocation)
{
    if (!invocation.ports.isEmpty() && parser.isSet(kDevice))
        return QStringLiteral("--device and --port exclude each other");
    return {};
}

// The unit named by --device, else by TARVEX_DEVICE unless --port numbers the units; a network
// address among them must be a well-formed one. The one place the name is read.
Step deviceReader(const QString& environmentDevice)
{
    return [environmentDevice](const QCommandLineParser& parser, Invocation& invocation) {
        if (!invocation.ports.isEmpty())
            return QString();
        QString problem;
        const std::optional<link::DeviceName> device = link::DeviceName::fromText(
            parser.isSet(kDevice) ? parser.value(kDevice) : environmentDevice, &problem);
        if (device)
            invocation.device = *device;
        return problem;
    };
}

// The whole number from 1 up given to option, into target; the usage problem when it is not one.
QString readPositiveNumber(const QCommandLineParser& parser, const QString& option,
                           const QString& problem, int& target)
{
    if (!parser.isSet(option))
        return {};
    const auto number = positiveNumberFrom(parser.value(option));
    if (!number)
        return problem;
    target = *number;
    return {};
}

QString readReplyWait(const QCommandLineParser& parser, Invocation& invocation)
{
    int ms = 0;
    const QString problem = readPositiveNumber(
        parser, kReplyWait, QStringLiteral("--reply-wait takes milliseconds, 1 or more"), ms);
    if (ms > 0)
        invocation.replyWait = std::chrono::milliseconds(ms);
    return problem;
}

QString refuseMisplacedOptions(const QCommandLineParser& parser, Invocation& invocation)
{
    for (const OptionRow& row : optionTable()) {
        if (row.belongs && parser.isSet(row.option.names().constLast()) && !row.belongs(invocation))
            return row.misplaced;
    }
    return {};
}

QString refuseLoopWithCheck(const QCommandLineParser&, Invocation& invocation)
{
    if (invocation.loop && invocation.check)
        return QStringLiteral("--loop writes; it does not go with --check");
    return {};
}

QString readCount(const QCommandLineParser& parser, Invocation& invocation)
{
    return readPositiveNumber(parser, kCount,
                              QStringLiteral("--count takes a number of units, 1 or more"),
                              invocation.count);
}

// The shape of "message get EVENT" and "message set EVENT (TEXT | --file F)".
QString checkMessageShape(const QCommandLineParser&, Invocation& invocation)
{
    if (!isMessage(invocation))
        return {};
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
    for (const OptionRow& row : optionTable())
        parser.addOption(row.option);

    if (!parser.parse(arguments))
        return usageError(parser.errorText());
    if (parser.isSet(kHelp))
        return {
            std::nullopt, parser.helpText() + u'\n' + kUsage + eventHelp() + exitCodeHelp(), 0, {}};
    if (parser.isSet(kVersion))
        return {std::nullopt,
                QStringLiteral("tarvex-cli %1\n").arg(QCoreApplication::applicationVersion()),
                0,
                {}};

    Invocation invocation;
    // In this order, so that of several problems the same one is always reported.
    for (const Step& step :
         {Step(readCommand), Step(readOptionValues), Step(refuseDeviceWithPorts),
          deviceReader(environmentDevice), Step(readReplyWait), Step(refuseMisplacedOptions),
          Step(refuseLoopWithCheck), Step(readCount), Step(checkMessageShape)}) {
        if (const QString problem = step(parser, invocation); !problem.isEmpty())
            return usageError(problem);
    }
    return {invocation, {}, 0, {}};
}

} // namespace tarvex::cli
