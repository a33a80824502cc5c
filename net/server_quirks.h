#pragma once

#include <chrono>

// What terminal servers do beyond their RFCs, and how the network line meets each, in one list
// (Debian's ser2net is the server measured; others behave alike or better):
//
// 1. A busy port says so in words. ser2net takes a second client of a port, writes a line
//    ("Port already in use") and closes. Only that text tells a busy port from one that closed
//    at once for any other reason; a raw TCP line listens kBusyTextWithin past its round trip
//    for it, since without Telnet nothing else answers. Behind a slow path the text comes
//    later still: a raw line that reads it within kBusyTextLateWithin of its connection, before
//    any reply, still counts the port as busy.
// 2. A port is held a moment after its client left: the end of the old connection is still on
//    its way. A refused reconnect is tried again for kHeldRetryFor, kHeldRetryPause apart,
//    before the port counts as busy.
// 3. No answer for the modem lines. In front of a device without them (a pseudo-terminal)
//    ser2net never answers a DTR or RTS request of the COM-PORT option, so the negotiation
//    never asks for them; the unit needs neither.
// 4. A slow first setting. ser2net sets its device up at the first COM-PORT setting: on a
//    pseudo-terminal that answer comes 45 to 55 ms late, and every setting's answer waits for
//    the device. Settings' answers never time the network: kRoundTripQuestions questions that
//    change nothing (the current baud rate) follow them, and their answers do.
// 5. Silence about BINARY. Each direction of binary transmission is its own option (RFC 856);
//    a server may pass over one of them without a word. The settings need only the COM-PORT
//    option, so they go out at once; once every answer is in, the server has answered what it
//    will, and a direction still without binary fails the open then, named, instead of
//    stalling until the negotiation's bound. Both directions must be binary: the unit's texts
//    are 8-bit (ISO 8859-1) and a line in Telnet's 7-bit mode may change them silently.
namespace tarvex::link::quirks {

inline constexpr char kBusyText[] = "in use";
inline constexpr std::chrono::milliseconds kBusyTextWithin{50};
inline constexpr std::chrono::seconds kBusyTextLateWithin{5};

inline constexpr std::chrono::seconds kHeldRetryFor{2};
inline constexpr std::chrono::milliseconds kHeldRetryPause{200};

inline constexpr int kRoundTripQuestions = 3;

} // namespace tarvex::link::quirks
