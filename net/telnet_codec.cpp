#include "net/telnet_codec.h"

namespace tarvex::link::telnet {
namespace {

// A COM-PORT subnegotiation holds a few bytes; a signature some dozens.
constexpr qsizetype kLongestSubnegotiation = 1024;

bool isOptionVerb(quint8 byte)
{
    return byte == kWill || byte == kWont || byte == kDo || byte == kDont;
}

} // namespace

QByteArray escaped(const QByteArray& data)
{
    QByteArray out;
    out.reserve(data.size());
    for (const char byte : data) {
        out += byte;
        if (quint8(byte) == kIac)
            out += byte;
    }
    return out;
}

bool holdsNegotiation(const QByteArray& bytes)
{
    for (qsizetype at = 0; at + 1 < bytes.size(); ++at) {
        const quint8 next = quint8(bytes.at(at + 1));
        if (quint8(bytes.at(at)) == kIac && (isOptionVerb(next) || next == kSb))
            return true;
    }
    return false;
}

QByteArray command(quint8 verb, quint8 option)
{
    QByteArray bytes;
    bytes.append(char(kIac)).append(char(verb)).append(char(option));
    return bytes;
}

QByteArray subnegotiation(quint8 option, const QByteArray& payload)
{
    QByteArray bytes;
    bytes.append(char(kIac)).append(char(kSb)).append(char(option));
    return bytes + escaped(payload) + char(kIac) + char(kSe);
}

QByteArray Decoder::feed(const QByteArray& bytes)
{
    QByteArray data;
    for (const char character : bytes) {
        const quint8 byte = quint8(character);
        switch (state_) {
        case State::Data:
            if (byte == kIac)
                state_ = State::Iac;
            else
                data += character;
            break;
        case State::Iac:
            onIac(byte, data);
            break;
        case State::Verb:
            events_.append({verb_, byte, {}});
            state_ = State::Data;
            break;
        case State::Sub:
            if (byte == kIac)
                state_ = State::SubIac;
            else
                addToSub(byte);
            break;
        case State::SubIac:
            onSubIac(byte, data);
            break;
        }
    }
    return data;
}

// After IAC: a doubled 0xFF is data; an option verb or SB takes more bytes; any other
// command (NOP, GA, a data mark, garbage) says nothing a reply needs and is dropped.
void Decoder::onIac(quint8 byte, QByteArray& data)
{
    state_ = State::Data;
    if (byte == kIac) {
        data += char(byte);
    } else if (isOptionVerb(byte)) {
        verb_ = byte;
        state_ = State::Verb;
    } else if (byte == kSb) {
        sub_ = {kSb, 0, {}};
        subHasOption_ = false;
        state_ = State::Sub;
    }
}

// Inside a subnegotiation, IAC SE ends it and IAC IAC is a 0xFF of its payload; IAC and any
// other command cuts it short, and the command counts.
void Decoder::onSubIac(quint8 byte, QByteArray& data)
{
    if (byte == kIac) {
        addToSub(byte);
        state_ = State::Sub;
        return;
    }
    events_.append(sub_);
    state_ = State::Data;
    if (byte != kSe)
        onIac(byte, data);
}

void Decoder::addToSub(quint8 byte)
{
    if (!subHasOption_) {
        sub_.option = byte;
        subHasOption_ = true;
    } else if (sub_.payload.size() < kLongestSubnegotiation) {
        sub_.payload += char(byte);
    } else {
        broken_ = true;
    }
}

QList<Event> Decoder::takeEvents()
{
    QList<Event> events;
    events.swap(events_);
    return events;
}

} // namespace tarvex::link::telnet
