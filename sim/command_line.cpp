#include "sim/command_line.h"

#include "sim/unit_memory.h"

#include <QCommandLineParser>

#include <optional>
#include <variant>

namespace tarvex::sim {

namespace {

// Where an option's value goes: a switch sets a flag, a text is kept as given, and a value
// that must be checked goes through its own reader, which answers what is wrong with it.
using Flag = bool UnitOptions::*;
using Text = QString UnitOptions::*;
using Checked = QString (*)(const QString& value, UnitOptions& options);

// One tarvex-sim option: how it is written and described, and what it sets.
struct OptionRow
{
    QCommandLineOption option;
    std::variant<std::monostate, Flag, Text, Checked> target; // monostate: --help, --version
};

// A whole number from minimum up, or nothing.
std::optional<int> numberFrom(const QString& text, int minimum)
{
    bool ok = false;
    const int value = text.toInt(&ok);
    return ok && value >= minimum ? std::optional<int>(value) : std::nullopt;
}

QString readIdentity(const QString& value, UnitOptions& options)
{
    options.identity = value;
    if (QString::fromLatin1(value.toLatin1()) != value)
        return QStringLiteral("--id takes ISO 8859-1 characters only.");
    return {};
}

QString readDelay(const QString& value, UnitOptions& options)
{
    const auto ms = numberFrom(value, 0);
    options.delayMs = ms.value_or(0);
    return ms ? QString() : QStringLiteral("--delay takes a number of milliseconds, 0 or more.");
}

// A number of commands, 1 or more, into count (-1 when there is none): for option.
QString readCommandCount(const QString& value, int& count, const char* option)
{
    const auto number = numberFrom(value, 1);
    count = number.value_or(-1);
    return number ? QString()
                  : QStringLiteral("%1 takes a number of commands, 1 or more.").arg(option);
}

QString readHangupAfter(const QString& value, UnitOptions& options)
{
    return readCommandCount(value, options.hangupAfter, "--hangup-after");
}

QString readCutAfter(const QString& value, UnitOptions& options)
{
    return readCommandCount(value, options.cutAfter, "--cut-after");
}

QString stateDescription()
{
    return QStringLiteral("Keeps the unit's memory in the JSON file FILE (a regular file), read at "
                          "start and replaced atomically after every change, so a restarted unit "
                          "remembers. Keys: count (0 to %1), mask (eight \"0\" or \"1\"), phones "
                          "(eleven of at most %2 characters, the last the test number), messages "
                          "(eight of at most %3 characters, CR LF counting two).")
        .arg(kMaxPhoneCount)
        .arg(kLongestPhone)
        .arg(kLongestMessage);
}

// In the order --help lists them.
QList<OptionRow> optionTable()
{
    const QString file = QStringLiteral("FILE");
    return {
        {{{QStringLiteral("h"), QStringLiteral("help")},
          QStringLiteral("Shows this help and exits.")},
         {}},
        {{{QStringLiteral("v"), QStringLiteral("version")},
          QStringLiteral("Shows the version and exits.")},
         {}},
        {{QStringLiteral("id"),
          QStringLiteral("Answers the identify query \"?\" with TEXT (default \"%1\").")
              .arg(UnitOptions{}.identity),
          QStringLiteral("TEXT")},
         readIdentity},
        {{QStringLiteral("link"),
          QStringLiteral("Also makes PATH a symbolic link to the device; removed on exit unless "
                         "another simulator has taken it over. An existing symbolic link there "
                         "is replaced."),
          QStringLiteral("PATH")},
         &UnitOptions::linkPath},
        {{QStringLiteral("state"), stateDescription(), file}, &UnitOptions::statePath},
        {{QStringLiteral("log"),
          QStringLiteral("Appends every byte received, exactly as received, to FILE (a regular "
                         "file)."),
          file},
         &UnitOptions::logPath},
        {{QStringLiteral("silent"), QStringLiteral("Never answers (still receives and stores).")},
         &UnitOptions::silent},
        {{QStringLiteral("delay"), QStringLiteral("Sends each reply MS milliseconds late."),
          QStringLiteral("MS")},
         readDelay},
        {{QStringLiteral("paced"),
          QStringLiteral("Sends each reply at the unit's 9600 baud, one byte about every 1.04 ms, "
                         "as a real line carries it.")},
         &UnitOptions::paced},
        {{QStringLiteral("echo"),
          QStringLiteral("Echoes each command, as received, before answering.")},
         &UnitOptions::echo},
        {{QStringLiteral("garbage"),
          QStringLiteral("Sends junk bytes (0x7F, \"#*\") before each reply.")},
         &UnitOptions::garbage},
        {{QStringLiteral("hangup-after"),
          QStringLiteral("Closes the line once the answer to the N-th command has been read "
                         "(or after a second), and exits. Later commands are not handled."),
          QStringLiteral("N")},
         readHangupAfter},
        {{QStringLiteral("cut-after"),
          QStringLiteral("Closes the line as soon as the N-th command is in, without answering it "
                         "(a write is still stored), and exits: an answer lost with the line."),
          QStringLiteral("N")},
         readCutAfter},
        {{QStringLiteral("ignore-writes"),
          QStringLiteral("Acknowledges writes with \"OK\" but stores nothing.")},
         &UnitOptions::ignoreWrites},
    };
}

// Sets what one given option stands for; the problem with its value, or an empty string.
QString readOption(const QCommandLineParser& parser, const OptionRow& row, UnitOptions& options)
{
    const QString name = row.option.names().constLast();
    if (!parser.isSet(name))
        return {};
    if (const auto* flag = std::get_if<Flag>(&row.target))
        options.*(*flag) = true;
    else if (const auto* text = std::get_if<Text>(&row.target))
        options.*(*text) = parser.value(name);
    else if (const auto* checked = std::get_if<Checked>(&row.target))
        return (*checked)(parser.value(name), options);
    return {};
}

} // namespace

CommandLine parseCommandLine(const QStringList& arguments)
{
    QCommandLineParser parser;
    parser.setApplicationDescription(QStringLiteral(
        "A simulated Tarvex alert unit on a pseudo-terminal. Prints the device path of the\n"
        "terminal side on its first line of output, then answers the unit's commands there\n"
        "until it is terminated (or hangs up). Replies end with CR; writes are acknowledged\n"
        "with \"OK\", anything the unit does not know is answered \"ERR\"."));
    const QList<OptionRow> table = optionTable();
    for (const OptionRow& row : table)
        parser.addOption(row.option);

    CommandLine result;
    result.helpText = parser.helpText();
    if (!parser.parse(arguments)) {
        result.error = parser.errorText();
        return result;
    }
    if (!parser.positionalArguments().isEmpty()) {
        result.error = QStringLiteral("Unexpected argument '%1'.")
                           .arg(parser.positionalArguments().constFirst());
        return result;
    }
    result.helpRequested = parser.isSet(QStringLiteral("help"));
    result.versionRequested = parser.isSet(QStringLiteral("version"));
    // When several values are wrong, the last in the table is the one reported.
    for (const OptionRow& row : table) {
        if (const QString problem = readOption(parser, row, result.options); !problem.isEmpty())
            result.error = problem;
    }
    return result;
}

} // namespace tarvex::sim
