#include "cli/exit_codes.h"
#include "cli/fleet_invocation.h"

#include <QCommandLineParser>
#include <QDir>
#include <QMap>

namespace tarvex::cli {
namespace {

const QString kUsage = QStringLiteral(
    "Commands (tarvex-cli fleet COMMAND):\n"
    "  init DIR                    makes DIR a register: a git repository readable by its\n"
    "                              owner only, with an empty fleet.json\n"
    "  backup [SITE...]            reads every site at once; one commit when something changed\n"
    "  status                      one line a site: last read, last change, failures, flags\n"
    "                              (changed, drifted, stale, failing, never-read)\n"
    "  apply [SITE...] [--check]   renders each site's template, validates all, applies with\n"
    "                              read-back at once, one commit\n"
    "  restore SITE --to REV       writes the version of REV (a git revision, or YYYY-MM-DD\n"
    "                              [THH:MM]: the last version before it) after a yes\n"
    "  history SITE                the site's changes, one entry a commit\n"
    "  report -o FILE.html         the register as a static page\n");

// What each command takes: how many site arguments, and which options.
struct Shape
{
    int minimum;
    int maximum; // -1: any number
    QStringList options;
};

const QMap<QString, Shape>& shapes()
{
    static const QMap<QString, Shape> table{
        {QStringLiteral("init"), {1, 1, {}}},
        {QStringLiteral("backup"), {0, -1, {QStringLiteral("jobs"), QStringLiteral("on-change")}}},
        {QStringLiteral("status"), {0, 0, {QStringLiteral("stale")}}},
        {QStringLiteral("apply"),
         {0, -1, {QStringLiteral("jobs"), QStringLiteral("on-change"), QStringLiteral("check")}}},
        {QStringLiteral("restore"), {1, 1, {QStringLiteral("to"), QStringLiteral("yes")}}},
        {QStringLiteral("history"), {1, 1, {}}},
        {QStringLiteral("report"), {0, 0, {QStringLiteral("output"), QStringLiteral("stale")}}},
    };
    return table;
}

ParsedFleetLine usageError(const QString& reason)
{
    return {std::nullopt,
            QStringLiteral("tarvex-cli fleet: %1\nTry 'tarvex-cli fleet --help'.\n").arg(reason),
            int(Exit::Usage), reason};
}

std::optional<int> positive(const QString& text)
{
    bool ok = false;
    const int value = text.toInt(&ok);
    return ok && value >= 1 ? std::optional<int>(value) : std::nullopt;
}

QString shapeProblem(const QCommandLineParser& parser, const QString& command, int arguments)
{
    const auto shape = shapes().constFind(command);
    if (shape == shapes().constEnd())
        return QStringLiteral("unknown command \"%1\"").arg(command);
    if (arguments < shape->minimum || (shape->maximum >= 0 && arguments > shape->maximum))
        return QStringLiteral("wrong number of arguments for %1").arg(command);
    for (const QString& option :
         {QStringLiteral("jobs"), QStringLiteral("on-change"), QStringLiteral("check"),
          QStringLiteral("stale"), QStringLiteral("to"), QStringLiteral("yes"),
          QStringLiteral("output")})
        if (parser.isSet(option) && !shape->options.contains(option))
            return QStringLiteral("--%1 does not go with %2").arg(option, command);
    if (command == u"restore" && !parser.isSet(QStringLiteral("to")))
        return QStringLiteral("restore needs --to REV");
    if (command == u"report" && !parser.isSet(QStringLiteral("output")))
        return QStringLiteral("report needs -o FILE");
    return {};
}

QString readNumbers(const QCommandLineParser& parser, FleetInvocation& invocation)
{
    if (parser.isSet(QStringLiteral("jobs"))) {
        const auto jobs = positive(parser.value(QStringLiteral("jobs")));
        if (!jobs)
            return QStringLiteral("--jobs takes a number of sites, 1 or more");
        invocation.jobs = *jobs;
    }
    if (parser.isSet(QStringLiteral("stale"))) {
        const auto hours = positive(parser.value(QStringLiteral("stale")));
        if (!hours)
            return QStringLiteral("--stale takes hours, 1 or more");
        invocation.stale = std::chrono::hours(*hours);
    }
    if (parser.isSet(QStringLiteral("reply-wait"))) {
        const auto ms = positive(parser.value(QStringLiteral("reply-wait")));
        if (!ms)
            return QStringLiteral("--reply-wait takes milliseconds, 1 or more");
        invocation.replyWait = std::chrono::milliseconds(*ms);
    }
    return {};
}

} // namespace

ParsedFleetLine parseFleetLine(const QStringList& arguments, const QString& environmentFolder)
{
    QCommandLineParser parser;
    parser.setApplicationDescription(QStringLiteral(
        "Keeps a register of sites: every unit's configuration in git, read at once, drift and "
        "silence flagged, site files made from one template, any earlier state restored."));
    parser.addPositionalArgument(QStringLiteral("fleet"), QStringLiteral("fleet"),
                                 QStringLiteral("fleet COMMAND [ARGUMENTS]"));
    const QString dir = QStringLiteral("DIR");
    parser.addOptions({
        {{QStringLiteral("h"), QStringLiteral("help")}, QStringLiteral("Shows this help.")},
        {QStringLiteral("fleet"),
         QStringLiteral("The register (default: TARVEX_FLEET, else the current folder)."), dir},
        {QStringLiteral("json"), QStringLiteral("Prints exactly one JSON document on stdout.")},
        {QStringLiteral("jobs"), QStringLiteral("backup, apply: sites at once (default 32)."),
         QStringLiteral("N")},
        {QStringLiteral("on-change"),
         QStringLiteral("backup, apply: runs CMD with the run's JSON summary on standard input "
                        "when something changed or failed."),
         QStringLiteral("CMD")},
        {QStringLiteral("check"),
         QStringLiteral("apply: shows what would change; writes nothing.")},
        {QStringLiteral("stale"),
         QStringLiteral("status, report: flags sites without a good read for HOURS (default 24)."),
         QStringLiteral("HOURS")},
        {QStringLiteral("to"), QStringLiteral("restore: the version to restore."),
         QStringLiteral("REV")},
        {QStringLiteral("yes"), QStringLiteral("restore: writes without asking.")},
        {{QStringLiteral("o"), QStringLiteral("output")},
         QStringLiteral("report: the page to write."),
         QStringLiteral("FILE")},
    });
    QCommandLineOption replyWait(QStringLiteral("reply-wait"), QStringLiteral("For tests."),
                                 QStringLiteral("MS"));
    replyWait.setFlags(QCommandLineOption::HiddenFromHelp);
    parser.addOption(replyWait);

    if (!parser.parse(arguments.mid(0, 1) + arguments.mid(2)))
        return usageError(parser.errorText());
    if (parser.isSet(QStringLiteral("help")))
        return {std::nullopt, parser.helpText() + u'\n' + kUsage + u'\n' + exitCodeHelp(), 0, {}};
    const QStringList positional = parser.positionalArguments();
    if (positional.isEmpty())
        return usageError(QStringLiteral("a command is missing"));
    FleetInvocation invocation;
    invocation.command = positional.first();
    invocation.sites = positional.mid(1);
    if (const QString problem =
            shapeProblem(parser, invocation.command, int(invocation.sites.size()));
        !problem.isEmpty())
        return usageError(problem);
    if (const QString problem = readNumbers(parser, invocation); !problem.isEmpty())
        return usageError(problem);
    invocation.folder = invocation.command == u"init" ? invocation.sites.takeFirst()
                        : parser.isSet(QStringLiteral("fleet"))
                            ? parser.value(QStringLiteral("fleet"))
                        : !environmentFolder.isEmpty() ? environmentFolder
                                                       : QDir::currentPath();
    invocation.json = parser.isSet(QStringLiteral("json"));
    invocation.check = parser.isSet(QStringLiteral("check"));
    invocation.yes = parser.isSet(QStringLiteral("yes"));
    invocation.to = parser.value(QStringLiteral("to"));
    invocation.onChange = parser.value(QStringLiteral("on-change"));
    invocation.output = parser.value(QStringLiteral("output"));
    return {invocation, {}, 0, {}};
}

} // namespace tarvex::cli
