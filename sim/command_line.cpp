#include "sim/command_line.h"

#include <QCommandLineParser>

#include <optional>

namespace tarvex::sim {

namespace {

// A whole number from minimum up, or nothing.
std::optional<int> numberFrom(const QString& text, int minimum)
{
    bool ok = false;
    const int value = text.toInt(&ok);
    return ok && value >= minimum ? std::optional<int>(value) : std::nullopt;
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
    const QCommandLineOption help({QStringLiteral("h"), QStringLiteral("help")},
                                  QStringLiteral("Shows this help and exits."));
    const QCommandLineOption version({QStringLiteral("v"), QStringLiteral("version")},
                                     QStringLiteral("Shows the version and exits."));
    const QCommandLineOption id(
        QStringLiteral("id"),
        QStringLiteral("Answers the identify query \"?\" with TEXT (default \"%1\").")
            .arg(UnitOptions{}.identity),
        QStringLiteral("TEXT"));
    const QCommandLineOption link(
        QStringLiteral("link"),
        QStringLiteral("Also makes PATH a symbolic link to the device; removed on exit unless "
                       "another simulator has taken it over. An existing symbolic link there is "
                       "replaced."),
        QStringLiteral("PATH"));
    const QCommandLineOption state(
        QStringLiteral("state"),
        QStringLiteral("Keeps the unit's memory in the JSON file FILE (a regular file), read at "
                       "start and replaced atomically after every change, so a restarted unit "
                       "remembers. Keys: count (0 to 10), mask (eight \"0\" or \"1\"), phones "
                       "(eleven of at most 10 characters, the last the test number), messages "
                       "(eight of at most 80 characters, CR LF counting two)."),
        QStringLiteral("FILE"));
    const QCommandLineOption log(
        QStringLiteral("log"),
        QStringLiteral("Appends every byte received, exactly as received, to FILE (a regular "
                       "file)."),
        QStringLiteral("FILE"));
    const QCommandLineOption silent(QStringLiteral("silent"),
                                    QStringLiteral("Never answers (still receives and stores)."));
    const QCommandLineOption delay(QStringLiteral("delay"),
                                   QStringLiteral("Sends each reply MS milliseconds late."),
                                   QStringLiteral("MS"));
    const QCommandLineOption echo(
        QStringLiteral("echo"),
        QStringLiteral("Echoes each command, as received, before answering."));
    const QCommandLineOption garbage(
        QStringLiteral("garbage"),
        QStringLiteral("Sends junk bytes (0x7F, \"#*\") before each reply."));
    const QCommandLineOption hangupAfter(
        QStringLiteral("hangup-after"),
        QStringLiteral("Closes the line once the answer to the N-th command has been read "
                       "(or after a second), and exits. Later commands are not handled."),
        QStringLiteral("N"));
    const QCommandLineOption ignoreWrites(
        QStringLiteral("ignore-writes"),
        QStringLiteral("Acknowledges writes with \"OK\" but stores nothing."));
    parser.addOptions({help, version, id, link, state, log, silent, delay, echo, garbage,
                       hangupAfter, ignoreWrites});

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
    result.helpRequested = parser.isSet(help);
    result.versionRequested = parser.isSet(version);

    UnitOptions& options = result.options;
    if (parser.isSet(id)) {
        options.identity = parser.value(id);
        if (QString::fromLatin1(options.identity.toLatin1()) != options.identity)
            result.error = QStringLiteral("--id takes ISO 8859-1 characters only.");
    }
    options.linkPath = parser.value(link);
    options.statePath = parser.value(state);
    options.logPath = parser.value(log);
    options.silent = parser.isSet(silent);
    options.echo = parser.isSet(echo);
    options.garbage = parser.isSet(garbage);
    options.ignoreWrites = parser.isSet(ignoreWrites);
    if (parser.isSet(delay)) {
        const auto ms = numberFrom(parser.value(delay), 0);
        if (!ms)
            result.error = QStringLiteral("--delay takes a number of milliseconds, 0 or more.");
        options.delayMs = ms.value_or(0);
    }
    if (parser.isSet(hangupAfter)) {
        const auto count = numberFrom(parser.value(hangupAfter), 1);
        if (!count)
            result.error = QStringLiteral("--hangup-after takes a number of commands, 1 or more.");
        options.hangupAfter = count.value_or(-1);
    }
    return result;
}

} // namespace tarvex::sim
