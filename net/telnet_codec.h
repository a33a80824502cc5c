#pragma once

#include <QByteArray>
#include <QList>

namespace tarvex::link::telnet {

// The bytes of Telnet (RFC 854) that a COM-PORT line (RFC 2217) uses.
inline constexpr quint8 kIac = 255;
inline constexpr quint8 kDont = 254;
inline constexpr quint8 kDo = 253;
inline constexpr quint8 kWont = 252;
inline constexpr quint8 kWill = 251;
inline constexpr quint8 kSb = 250;
inline constexpr quint8 kSe = 240;

inline constexpr quint8 kBinary = 0;
inline constexpr quint8 kEcho = 1;
inline constexpr quint8 kSuppressGoAhead = 3;
inline constexpr quint8 kComPort = 44;

// What the server said besides data: an option verb (WILL, WONT, DO, DONT) or a
// subnegotiation (SB option payload SE, its doubled 0xFF bytes undoubled).
struct Event
{
    quint8 verb = 0; // kWill, kWont, kDo, kDont, or kSb
    quint8 option = 0;
    QByteArray payload; // of a subnegotiation
    bool operator==(const Event&) const = default;
};

// Data as it goes on the wire: every 0xFF doubled, so that it cannot start a command.
QByteArray escaped(const QByteArray& data);

QByteArray command(quint8 verb, quint8 option);

// Whether bytes read as raw data hold a Telnet negotiation: IAC followed by WILL, WONT, DO,
// DONT or SB. A unit never sends that unasked; a Telnet server does at once.
bool holdsNegotiation(const QByteArray& bytes);
QByteArray subnegotiation(quint8 option, const QByteArray& payload);

// Splits what arrives into data and events, across reads: a command may end in the next one.
// Commands never reach the data, even in the middle of it.
class Decoder
{
public:
    // The data in bytes; the events are kept for takeEvents().
    QByteArray feed(const QByteArray& bytes);
    QList<Event> takeEvents();
    // A subnegotiation ran past any sensible length: the stream is not Telnet.
    bool isBroken() const { return broken_; }

private:
    enum class State { Data, Iac, Verb, Sub, SubIac };
    void onIac(quint8 byte, QByteArray& data);
    void onSubIac(quint8 byte, QByteArray& data);
    void addToSub(quint8 byte);

    State state_ = State::Data;
    quint8 verb_ = 0;
    Event sub_;
    bool subHasOption_ = false;
    QList<Event> events_;
    bool broken_ = false;
};

} // namespace tarvex::link::telnet
