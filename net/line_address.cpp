#include "net/line_address.h"

#include <QRegularExpression>
#include <QStringList>

#include <algorithm>
#include <utility>

namespace tarvex::link {
namespace {

const QString kSchemeEnd = QStringLiteral("://");

// What can be wrong with an address; wording() says each in words.
enum class Problem {
    None,
    UnknownKind,
    UnclosedBracket,
    NotIpv6,
    Ipv6WithoutBrackets,
    NoHost,
    NotIpv4,
    NotHostName,
    NoPort,
    PortOutOfRange,
    SomethingAfterPort,
    UnknownOption,
    DelayOutOfRange,
    DelayTwice,
    NotSshUser,
    SshPortOutOfRange,
    ViaOnSession,
    ViaTwice,
};

struct Fault
{
    Fault(Problem what = Problem::None, QString where = {}) : problem(what), part(std::move(where))
    {}
    Problem problem;
    QString part; // the part of the text at fault
    QString via;  // the via= value the fault lies in, if it does
};

// The one place that words a malformed address.
QString wording(const QString& text, const Fault& fault)
{
    const QString& part = fault.part;
    QString why;
    switch (fault.problem) {
    case Problem::None:
        return {};
    case Problem::UnknownKind:
        why = QStringLiteral("unknown kind \"%1\" (tcp://, rfc2217:// or ssh://)").arg(part);
        break;
    case Problem::UnclosedBracket:
        why = QStringLiteral("the IPv6 address has no closing \"]\"");
        break;
    case Problem::NotIpv6:
        why = QStringLiteral("\"%1\" is not an IPv6 address").arg(part);
        break;
    case Problem::Ipv6WithoutBrackets:
        why = QStringLiteral("an IPv6 address goes in brackets: [%1]").arg(part);
        break;
    case Problem::NoHost:
        why = QStringLiteral("no host");
        break;
    case Problem::NotIpv4:
        why = QStringLiteral("\"%1\" is not an IPv4 address").arg(part);
        break;
    case Problem::NotHostName:
        why = QStringLiteral("\"%1\" is not a host name").arg(part);
        break;
    case Problem::NoPort:
        why = QStringLiteral("no port: write HOST:PORT");
        break;
    case Problem::PortOutOfRange:
        why = QStringLiteral("the port is 1 to 65535, not \"%1\"").arg(part);
        break;
    case Problem::SomethingAfterPort:
        why = QStringLiteral("nothing may follow the port but ?delay=MS");
        break;
    case Problem::UnknownOption:
        why = QStringLiteral("unknown option \"%1\" (delay=MS or via=SSHHOST)").arg(part);
        break;
    case Problem::DelayOutOfRange:
        why = QStringLiteral("delay takes milliseconds from 0 to %1, not \"%2\"")
                  .arg(kLargestGivenDelay.count())
                  .arg(part);
        break;
    case Problem::DelayTwice:
        why = QStringLiteral("delay is given twice");
        break;
    case Problem::NotSshUser:
        why = QStringLiteral("\"%1\" is not an SSH user name").arg(part);
        break;
    case Problem::SshPortOutOfRange:
        why = QStringLiteral("the SSH port is 1 to 65535, not \"%1\"").arg(part);
        break;
    case Problem::ViaOnSession:
        why = QStringLiteral("ssh:// takes no via= (a jump host goes in the SSH config)");
        break;
    case Problem::ViaTwice:
        why = QStringLiteral("via is given twice");
        break;
    }
    if (!fault.via.isNull())
        why = QStringLiteral("via=%1: %2").arg(fault.via, why);
    return QStringLiteral("\"%1\" is not a network address: %2").arg(text, why);
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

Fault unbracketedHostFault(const QString& host)
{
    if (host.contains(u':'))
        return {Problem::Ipv6WithoutBrackets, host};
    if (host.isEmpty())
        return {Problem::NoHost, {}};
    if (looksNumeric(host) && !isIpv4(host))
        return {Problem::NotIpv4, host};
    if (!isHostName(host))
        return {Problem::NotHostName, host};
    return {};
}

// "HOST:PORT" (HOST maybe bracketed) into address.host, checked, and the port's text.
Fault takeHost(const QString& authority, LineAddress& address, QString& portText)
{
    QString rest;
    if (authority.startsWith(u'[')) {
        const qsizetype close = authority.indexOf(u']');
        if (close < 0)
            return {Problem::UnclosedBracket, {}};
        address.host = authority.mid(1, close - 1);
        rest = authority.mid(close + 1);
        if (!isIpv6(address.host))
            return {Problem::NotIpv6, address.host};
    } else {
        const qsizetype colon = authority.lastIndexOf(u':');
        address.host = colon < 0 ? authority : authority.left(colon);
        rest = colon < 0 ? QString() : authority.mid(colon);
        if (const Fault fault = unbracketedHostFault(address.host); fault.problem != Problem::None)
            return fault;
    }
    if (!rest.startsWith(u':') || rest.size() == 1)
        return {Problem::NoPort, {}};
    portText = rest.mid(1);
    return {};
}

Fault takePort(const QString& text, LineAddress& address)
{
    static const QRegularExpression digits(QStringLiteral("^[0-9]{1,5}$"));
    const int value = digits.match(text).hasMatch() ? text.toInt() : 0;
    if (value < 1 || value > 65535)
        return {Problem::PortOutOfRange, text};
    address.port = quint16(value);
    return {};
}

Fault takeDelay(const QString& option, LineAddress& address)
{
    static const QRegularExpression digits(QStringLiteral("^[0-9]{1,6}$"));
    const QString value = option.section(u'=', 1);
    if (!option.contains(u'=') || !digits.match(value).hasMatch() ||
        value.toInt() > kLargestGivenDelay.count())
        return {Problem::DelayOutOfRange, value};
    if (address.delay)
        return {Problem::DelayTwice, {}};
    address.delay = std::chrono::milliseconds(value.toInt());
    return {};
}

// "[USER@]HOST[:PORT]" of an SSH login: the user is everything before the last "@", a ":" in it
// included (a console server's "admin:port05").
Fault takeSshLogin(const QString& text, SshLogin& login)
{
    static const QRegularExpression userShape(
        QStringLiteral("^[^\\s/?#@\\x00-\\x1f-][^\\s/?#@\\x00-\\x1f]*$"));
    const qsizetype at = text.lastIndexOf(u'@');
    login.user = at < 0 ? QString() : text.left(at);
    if (at >= 0 && !userShape.match(login.user).hasMatch())
        return {Problem::NotSshUser, login.user};
    const QString authority = text.mid(at + 1);
    const bool bracketed = authority.startsWith(u'[');
    const bool hasPort =
        bracketed ? authority.contains(QLatin1String("]:")) : authority.count(u':') == 1;
    // Without a port, ssh's own; a placeholder lets the host be checked as every host is.
    LineAddress host;
    QString portText;
    if (const Fault fault =
            takeHost(hasPort ? authority : authority + QLatin1String(":22"), host, portText);
        fault.problem != Problem::None)
        return fault;
    login.host = host.host;
    if (!hasPort)
        return {};
    if (takePort(portText, host).problem != Problem::None)
        return {Problem::SshPortOutOfRange, portText};
    login.port = host.port;
    return {};
}

Fault takeVia(const QString& option, LineAddress& address)
{
    if (address.kind == LineAddress::Kind::SshSession)
        return {Problem::ViaOnSession, {}};
    if (address.ssh)
        return {Problem::ViaTwice, {}};
    const QString value = option.section(u'=', 1);
    SshLogin login;
    Fault fault = takeSshLogin(value, login);
    if (fault.problem != Problem::None) {
        fault.via = value;
        return fault;
    }
    address.ssh = login;
    return {};
}

// The options after "?", each NAME=VALUE, joined by "&"; a further one is one more row.
Fault takeOptions(const QString& query, LineAddress& address)
{
    using Take = Fault (*)(const QString& option, LineAddress& address);
    static const QList<std::pair<QString, Take>> options = {
        {QStringLiteral("delay"), takeDelay},
        {QStringLiteral("via"), takeVia},
    };
    for (const QString& option : query.split(u'&')) {
        const QString name = option.section(u'=', 0, 0);
        const auto known = std::find_if(options.cbegin(), options.cend(),
                                        [&](const auto& row) { return row.first == name; });
        if (known == options.cend())
            return {Problem::UnknownOption, name};
        if (const Fault fault = known->second(option, address); fault.problem != Problem::None)
            return fault;
    }
    return {};
}

Fault parse(const QString& text, LineAddress& address)
{
    const qsizetype schemeEnd = text.indexOf(kSchemeEnd);
    const QString scheme = text.left(schemeEnd);
    const std::optional<LineAddress::Kind> kind = kindOf(scheme);
    if (!kind)
        return {Problem::UnknownKind, scheme};
    address.kind = *kind;
    const QString afterScheme = text.mid(schemeEnd + kSchemeEnd.size());
    const qsizetype queryAt = afterScheme.indexOf(u'?');
    const QString authority = afterScheme.left(queryAt);
    if (authority.contains(u'/'))
        return {Problem::SomethingAfterPort, {}};
    if (*kind == LineAddress::Kind::SshSession) {
        SshLogin login;
        if (const Fault fault = takeSshLogin(authority, login); fault.problem != Problem::None)
            return fault;
        address.host = login.host;
        address.port = login.port.value_or(0);
        address.ssh = login;
    } else {
        QString portText;
        if (const Fault fault = takeHost(authority, address, portText);
            fault.problem != Problem::None)
            return fault;
        if (const Fault fault = takePort(portText, address); fault.problem != Problem::None)
            return fault;
    }
    return queryAt < 0 ? Fault{} : takeOptions(afterScheme.mid(queryAt + 1), address);
}

} // namespace

bool isLineAddress(const QString& name)
{
    static const QRegularExpression scheme(QStringLiteral("^[A-Za-z][A-Za-z0-9+.-]*://"));
    return scheme.match(name).hasMatch();
}

std::optional<LineAddress> parseLineAddress(const QString& text, QString* reason)
{
    LineAddress address;
    address.text = text;
    const Fault fault = parse(text, address);
    if (fault.problem == Problem::None)
        return address;
    if (reason)
        *reason = wording(text, fault);
    return std::nullopt;
}

} // namespace tarvex::link
