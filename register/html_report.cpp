#include "register/html_report.h"

namespace tarvex::fleet {
namespace {

QString text(const QString& value)
{
    return value.toHtmlEscaped();
}

QString when(const QDateTime& time)
{
    return time.isValid() ? text(isoTime(time)) : QStringLiteral("never");
}

QString flagCells(const QStringList& flags)
{
    if (flags.isEmpty())
        return QStringLiteral("<span class=\"flag ok\">ok</span>");
    QStringList cells;
    for (const QString& flag : flags)
        cells << QStringLiteral("<span class=\"flag %1\">%1</span>").arg(text(flag));
    return cells.join(u' ');
}

QString row(const SiteStatus& site)
{
    const QString failures =
        site.failures == 0
            ? QString()
            : QStringLiteral("%1 in a row: %2").arg(site.failures).arg(text(site.error));
    return QStringLiteral("<tr><td>%1</td><td>%2</td><td>%3</td><td>%4</td><td>%5</td>"
                          "<td>%6</td></tr>\n")
        .arg(text(site.name), text(site.device), flagCells(site.flags), when(site.lastRead),
             when(site.lastChange), failures);
}

const char* const kStyle =
    "body{font-family:sans-serif;margin:2em}table{border-collapse:collapse}"
    "td,th{border:1px solid #bbb;padding:.3em .6em;text-align:left;white-space:nowrap}"
    "th{background:#eee}"
    ".flag{padding:0 .4em;border-radius:.3em}.ok{background:#cfc}.changed{background:#fd8}"
    ".drifted{background:#fc9}.stale{background:#ddd}.failing{background:#f99}"
    ".never-read{background:#f99}";

} // namespace

QByteArray htmlReport(const QList<SiteStatus>& sites, const QDateTime& made)
{
    QString rows;
    int attention = 0;
    for (const SiteStatus& site : sites) {
        rows += row(site);
        attention += site.flags.isEmpty() ? 0 : 1;
    }
    return QStringLiteral(
               "<!DOCTYPE html>\n<html lang=\"en\"><head><meta charset=\"utf-8\">"
               "<title>Register of sites</title><style>%1</style></head><body>\n"
               "<h1>Register of sites</h1>\n<p>%2 sites, %3 flagged; made %4.</p>\n"
               "<table><tr><th>Site</th><th>Device</th><th>Flags</th><th>Last read</th>"
               "<th>Last change</th><th>Failures</th></tr>\n%5</table>\n</body></html>\n")
        .arg(QString::fromLatin1(kStyle))
        .arg(sites.size())
        .arg(attention)
        .arg(text(isoTime(made)), rows)
        .toUtf8();
}

} // namespace tarvex::fleet
