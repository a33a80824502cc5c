#pragma once

#include <QString>

#include <chrono>
#include <optional>

namespace tarvex::link {

// A unit behind a terminal server, named where a device is: tcp://HOST:PORT for a raw TCP port
// (the server owns the line settings), rfc2217://HOST:PORT for Telnet with the COM-PORT option,
// each optionally followed by ?delay=MS. HOST is a name, an IPv4 address or an IPv6 address in
// brackets. Either may go through an SSH host, ?via=[USER@]SSHHOST[:SSHPORT]: the TCP connection
// is then made from there. ssh://[USER@]HOST[:PORT] is a console server's SSH login whose session
// is the serial line itself (the user part may hold a ":", as "admin:port05"). Parsed once, where
// the text enters; what comes later reads these fields. A further kind is one more scheme, a
// further parameter one more option.
struct SshLogin
{
    QString user; // empty: ssh's own choice (its config, or the local user)
    QString host;
    std::optional<quint16> port; // none: ssh's own choice
};

struct LineAddress
{
    enum class Kind { RawTcp, Rfc2217, SshSession };

    Kind kind = Kind::RawTcp;
    QString host; // without the brackets of an IPv6 address
    quint16 port = 0;
    // The line's delay as given, in place of the measured one.
    std::optional<std::chrono::milliseconds> delay;
    // The SSH login the line goes through: the tunnel's host, or the console server itself.
    std::optional<SshLogin> ssh;
    QString text; // as written: how messages and the list of recent addresses name it
};

inline constexpr std::chrono::milliseconds kLargestGivenDelay{10000};

// Whether name is meant as a network address rather than a device: it names a scheme
// ("SCHEME://..."). Such a name is then parsed, and refused with a reason when malformed.
bool isLineAddress(const QString& name);

// The one parser of an address: nullopt, and in reason what is wrong with text, when it is no
// valid address. (QUrl would refuse an IPv6 zone, take "ts_north" and "10.0.0.256" as hosts,
// change a host's case and say less about what is wrong.)
std::optional<LineAddress> parseLineAddress(const QString& text, QString* reason);

} // namespace tarvex::link
