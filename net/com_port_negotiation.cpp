#include "net/com_port_negotiation.h"

#include <QtEndian>

#include <array>

namespace tarvex::link {
namespace {

using namespace telnet;

// The COM-PORT commands of RFC 2217; the server answers command + 100.
constexpr quint8 kAnswerOffset = 100;

struct Request
{
    quint8 command;
    QByteArray value;
    QByteArray expected; // in the answer
    const char* what;
};

QByteArray bigEndian32(quint32 value)
{
    QByteArray bytes(4, '\0');
    qToBigEndian(value, bytes.data());
    return bytes;
}

constexpr int kSettings = 5;
constexpr int kQuestions = 3;

QByteArray byte(int value)
{
    return QByteArray(1, char(value));
}

const std::array<Request, kSettings + kQuestions>& requests()
{
    static const QByteArray baud = bigEndian32(9600);
    static const QByteArray current = bigEndian32(0); // asks for the current baud rate
    static const std::array<Request, kSettings + kQuestions> table{{
        {1, baud, baud, "baud rate"},
        {2, byte(8), byte(8), "data size"},
        {3, byte(1), byte(1), "parity"},       // 1: none
        {4, byte(1), byte(1), "stop size"},    // 1: one stop bit
        {5, byte(1), byte(1), "flow control"}, // 1: none
        {1, current, baud, "baud rate"},
        {1, current, baud, "baud rate"},
        {1, current, baud, "baud rate"},
    }};
    return table;
}

int key(quint8 verb, quint8 option)
{
    return verb * 256 + option;
}

// The options this client takes up: its own side of each (answering DO) and the server's.
bool weWillDo(quint8 option)
{
    return option == kBinary || option == kSuppressGoAhead || option == kComPort;
}
bool weAccept(quint8 option)
{
    return option == kBinary || option == kSuppressGoAhead;
}

QString decimal(const QByteArray& value)
{
    quint32 number = 0;
    for (const char byte : value)
        number = number * 256 + quint8(byte);
    return QString::number(number);
}

} // namespace

int ComPortNegotiation::requestCount()
{
    return int(requests().size());
}

bool ComPortNegotiation::timesRoundTrip(int index)
{
    return index >= kSettings;
}

QByteArray ComPortNegotiation::opening()
{
    return command(kWill, kBinary) + command(kDo, kBinary) + command(kWill, kComPort);
}

QByteArray ComPortNegotiation::take(const Event& event)
{
    if (!refusal_.isEmpty())
        return {};
    if (event.verb != kSb)
        return onOption(event.verb, event.option);
    if (event.option == kComPort)
        onAnswer(event);
    return nextRequest();
}

// Answers a request of the server's once; WILL and DO of what opening() asked are agreements.
// Refusing binary or the COM-PORT option leaves a line that cannot carry the unit's bytes.
QByteArray ComPortNegotiation::onOption(quint8 verb, quint8 option)
{
    if ((verb == kDont && (option == kBinary || option == kComPort)) ||
        (verb == kWont && option == kBinary)) {
        refusal_ = option == kBinary ? QStringLiteral("the server refuses binary transmission")
                                     : QStringLiteral("the server refuses the COM-PORT option");
        return {};
    }
    agreed_.insert(key(verb, option));
    QByteArray answer;
    const auto answerOnce = [&](quint8 ourVerb) {
        if (!sentVerbs_.contains(key(ourVerb, option)))
            answer = command(ourVerb, option);
        sentVerbs_.insert(key(ourVerb, option));
    };
    const bool openingAsked = option == kBinary || option == kComPort;
    if (verb == kDo && !openingAsked)
        answerOnce(weWillDo(option) ? kWill : kWont);
    else if (verb == kWill && !openingAsked)
        answerOnce(weAccept(option) ? kDo : kDont);
    return answer + nextRequest();
}

bool ComPortNegotiation::optionsAgreed() const
{
    return agreed_.contains(key(kDo, kBinary)) && agreed_.contains(key(kWill, kBinary)) &&
           agreed_.contains(key(kDo, kComPort));
}

void ComPortNegotiation::onAnswer(const Event& event)
{
    if (sent_ == answered_ || event.payload.isEmpty())
        return;
    const Request& asked = requests()[size_t(answered_)];
    if (quint8(event.payload.front()) != asked.command + kAnswerOffset)
        return; // a notification (modem or line state), or a signature
    const QByteArray value = event.payload.mid(1);
    if (value != asked.expected) {
        refusal_ = QStringLiteral("the server set the %1 to %2 instead of %3")
                       .arg(QLatin1String(asked.what), decimal(value), decimal(asked.expected));
        return;
    }
    ++answered_;
}

QByteArray ComPortNegotiation::nextRequest()
{
    if (!refusal_.isEmpty() || !optionsAgreed() || sent_ > answered_ || isDone())
        return {};
    const Request& next = requests()[size_t(sent_++)];
    return subnegotiation(kComPort, char(next.command) + next.value);
}

} // namespace tarvex::link
