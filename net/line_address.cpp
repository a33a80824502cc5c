#include "net/line_address.h"

#include <QRegularExpression>
#include <QStringList>

#include <algorithm>

namespace tarvex::link {
namespace {

const QString kSchemeEnd = QStringLiteral("://");

struct Parsed
{
    std::optional<LineAddress> address;
    QString problem;
};

Parsed problem(const QString& text)
{
    return {std::nullopt, text};
}

std::optional<LineAddress::Kind> kindOf(const QString& scheme)
{
    if (scheme.compare(QLatin1String("tcp"), Qt::CaseInsensitive) == 0)
        return LineAddress::Kind::RawTcp;
    if (scheme.compare(QLatin1String("rfc2217"), Qt::CaseInsensitive) == 0)
        return LineAddress::Kind::Rfc2217;
    if (scheme.compare(QLatin1String("ssh"), Qt::CaseInsensitive) == 0)
        return LineAddress::Kind::SshSession;
    return std::nullopt;
}

bool isIpv4(const QString& host)
{
    const QStringList parts = host.split(u'.');
    if (parts.size() != 4)
        return false;
    return std::all_of(parts.cbegin(), parts.cend(), [](const QString& part) {
        bool isNumber = false;
        const int value = part.toInt(&isNumber);
        return isNumber && part.size() <= 3 && value >= 0 && value <= 255 && part.front().isDigit();
    });
}

// Hexadecimal groups between colons, at most one "::", an IPv4 address at the end allowed,
// and a zone after "%" (fe80::1%eth0).
bool isIpv6(const QString& host)
{
    static const QRegularExpression shape(
        QStringLiteral("^[0-9A-Fa-f:]*(:[0-9.]+)?(%[A-Za-z0-9_.-]+)?$"));
    const QString address = host.section(u'%', 0, 0);
    if (!shape.match(host).hasMatch() || address.count(u':') < 2 || address.count(u':') > 7)
        return false;
    if (address.count(QLatin1String("::")) > 1 || address.contains(QLatin1String(":::")))
        return false;
    const QString last = address.section(u':', -1);
    if (last.contains(u'.') && !isIpv4(last))
        return false;
    const QStringList groups = address.split(u':');
    return std::all_of(groups.cbegin(), groups.cend(), [](const QString& group) {
        return group.size() <= 4 || group.contains(u'.');
    });
}

// Letters, digits and hyphens in dot-separated labels, none empty or at a hyphen's edge.
bool isHostName(const QString& host)
{
    static const QRegularExpression label(
        QStringLiteral("^[A-Za-z0-9]([A-Za-z0-9-]{0,61}[A-Za-z0-9])?$"));
    const QStringList labels = host.split(u'.');
    return host.size() <= 253 && std::all_of(labels.cbegin(), labels.cend(), [](const QString& l) {
               return label.match(l).hasMatch();
           });
}

bool looksNumeric(const QString& host)
{
    static const QRegularExpression digitsAndDots(QStringLiteral("^[0-9.]+$"));
    return digitsAndDots.match(host).hasMatch();
}

// Splits "HOST:PORT" (HOST maybe bracketed) into its host, checked, and the port text.
Parsed hostOf(const QString& authority, QString* portText)
{
    QString host;
    QString rest;
    if (authority.startsWith(u'[')) {
        const qsizetype close = authority.indexOf(u']');
        if (close < 0)
            return problem(QStringLiteral("the IPv6 address has no closing \"]\""));
        host = authority.mid(1, close - 1);
        rest = authority.mid(close + 1);
        if (!isIpv6(host))
            return problem(QStringLiteral("\"%1\" is not an IPv6 address").arg(host));
    } else {
        const qsizetype colon = authority.lastIndexOf(u':');
        host = colon < 0 ? authority : authority.left(colon);
        rest = colon < 0 ? QString() : authority.mid(colon);
        if (host.contains(u':'))
            return problem(QStringLiteral("an IPv6 address goes in brackets: [%1]").arg(host));
        if (host.isEmpty())
            return problem(QStringLiteral("no host"));
        if (looksNumeric(host) && !isIpv4(host))
            return problem(QStringLiteral("\"%1\" is not an IPv4 address").arg(host));
        if (!isHostName(host))
            return problem(QStringLiteral("\"%1\" is not a host name").arg(host));
    }
    if (!rest.startsWith(u':') || rest.size() == 1)
        return problem(QStringLiteral("no port: write HOST:PORT"));
    *portText = rest.mid(1);
    LineAddress address;
    address.host = host;
    return {address, {}};
}

std::optional<quint16> portNumber(const QString& text)
{
    static const QRegularExpression digits(QStringLiteral("^[0-9]{1,5}$"));
    const int value = digits.match(text).hasMatch() ? text.toInt() : 0;
    if (value < 1 || value > 65535)
        return std::nullopt;
    return quint16(value);
}

// "[USER@]HOST[:PORT]": the user is everything before the last "@", a ":" in it included.
std::optional<SshLogin> sshLoginOf(const QString& text, QString* wrong)
{
    static const QRegularExpression userShape(
        QStringLiteral("^[^\\s/?#@\\x00-\\x1f-][^\\s/?#@\\x00-\\x1f]*$"));
    const qsizetype at = text.lastIndexOf(u'@');
    SshLogin login;
    login.user = at < 0 ? QString() : text.left(at);
    if (at >= 0 && !userShape.match(login.user).hasMatch()) {
        *wrong = QStringLiteral("\"%1\" is not an SSH user name").arg(login.user);
        return std::nullopt;
    }
    const QString authority = text.mid(at + 1);
    const bool bracketed = authority.startsWith(u'[');
    const bool hasPort =
        bracketed ? authority.contains(QLatin1String("]:")) : authority.count(u':') == 1;
    QString portText;
    // Without a port, a placeholder one lets the host be checked as every host is.
    const Parsed parsed = hostOf(hasPort ? authority : authority + QLatin1String(":22"), &portText);
    if (!parsed.address) {
        *wrong = parsed.problem;
        return std::nullopt;
    }
    login.host = parsed.address->host;
    if (hasPort) {
        const std::optional<quint16> port = portNumber(portText);
        if (!port) {
            *wrong = QStringLiteral("the SSH port is 1 to 65535, not \"%1\"").arg(portText);
            return std::nullopt;
        }
        login.port = port;
    }
    return login;
}

QString takeVia(const QString& value, LineAddress& address)
{
    if (address.kind == LineAddress::Kind::SshSession)
        return QStringLiteral("ssh:// takes no via= (a jump host goes in the SSH config)");
    if (address.ssh)
        return QStringLiteral("via is given twice");
    QString wrong;
    address.ssh = sshLoginOf(value, &wrong);
    return address.ssh ? QString() : QStringLiteral("via=%1: %2").arg(value, wrong);
}

// The options: "delay=MS" and "via=[USER@]SSHHOST[:SSHPORT]".
QString takeOptions(const QString& query, LineAddress& address)
{
    static const QRegularExpression digits(QStringLiteral("^[0-9]{1,6}$"));
    for (const QString& option : query.split(u'&')) {
        const QString name = option.section(u'=', 0, 0);
        const QString value = option.section(u'=', 1);
        if (name == QLatin1String("via")) {
            const QString wrong = takeVia(value, address);
            if (!wrong.isEmpty())
                return wrong;
            continue;
        }
        if (name != QLatin1String("delay"))
            return QStringLiteral("unknown option \"%1\" (delay=MS or via=SSHHOST)").arg(name);
        if (!option.contains(u'=') || !digits.match(value).hasMatch() ||
            value.toInt() > kLargestGivenDelay.count())
            return QStringLiteral("delay takes milliseconds from 0 to %1, not \"%2\"")
                .arg(kLargestGivenDelay.count())
                .arg(value);
        if (address.delay)
            return QStringLiteral("delay is given twice");
        address.delay = std::chrono::milliseconds(value.toInt());
    }
    return {};
}

Parsed sshSession(const QString& authority, const QString& query)
{
    QString wrong;
    const std::optional<SshLogin> login = sshLoginOf(authority, &wrong);
    if (!login)
        return problem(wrong);
    LineAddress address;
    address.kind = LineAddress::Kind::SshSession;
    address.host = login->host;
    address.port = login->port.value_or(0);
    address.ssh = login;
    if (!query.isEmpty()) {
        wrong = takeOptions(query, address);
        if (!wrong.isEmpty())
            return problem(wrong);
    }
    return {address, {}};
}

Parsed parse(const QString& text)
{
    const qsizetype schemeEnd = text.indexOf(kSchemeEnd);
    const QString scheme = text.left(schemeEnd);
    const std::optional<LineAddress::Kind> kind = kindOf(scheme);
    if (!kind)
        return problem(
            QStringLiteral("unknown kind \"%1\" (tcp://, rfc2217:// or ssh://)").arg(scheme));
    const QString afterScheme = text.mid(schemeEnd + kSchemeEnd.size());
    const qsizetype queryAt = afterScheme.indexOf(u'?');
    const QString authority = afterScheme.left(queryAt);
    if (authority.contains(u'/'))
        return problem(QStringLiteral("nothing may follow the port but ?delay=MS"));
    if (*kind == LineAddress::Kind::SshSession)
        return sshSession(authority, queryAt < 0 ? QString() : afterScheme.mid(queryAt + 1));
    QString portText;
    Parsed parsed = hostOf(authority, &portText);
    if (!parsed.address)
        return parsed;
    const std::optional<quint16> port = portNumber(portText);
    if (!port)
        return problem(QStringLiteral("the port is 1 to 65535, not \"%1\"").arg(portText));
    parsed.address->kind = *kind;
    parsed.address->port = *port;
    if (queryAt >= 0) {
        const QString wrong = takeOptions(afterScheme.mid(queryAt + 1), *parsed.address);
        if (!wrong.isEmpty())
            return problem(wrong);
    }
    return parsed;
}

} // namespace

bool isLineAddress(const QString& name)
{
    static const QRegularExpression scheme(QStringLiteral("^[A-Za-z][A-Za-z0-9+.-]*://"));
    return scheme.match(name).hasMatch();
}

std::optional<LineAddress> parseLineAddress(const QString& text, QString* reason)
{
    Parsed parsed = parse(text);
    if (!parsed.address && reason)
        *reason = QStringLiteral("\"%1\" is not a network address: %2").arg(text, parsed.problem);
    return parsed.address;
}

} // namespace tarvex::link
