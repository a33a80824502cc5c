#include "net/com_port_negotiation.h"

#include "line/line_settings.h"
#include "net/server_quirks.h"

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
constexpr int kQuestions = quirks::kRoundTripQuestions;

QByteArray byte(int value)
{
    return QByteArray(1, char(value));
}

// The values of RFC 2217's SET-PARITY, SET-STOPSIZE and SET-CONTROL.
int parityValue(LineSettings::Parity parity)
{
    switch (parity) {
    case LineSettings::Parity::Odd:
        return 2;
    case LineSettings::Parity::Even:
        return 3;
    case LineSettings::Parity::None:
        break;
    }
    return 1;
}

int stopSizeValue(LineSettings::StopBits stopBits)
{
    return stopBits == LineSettings::StopBits::Two ? 2 : 1;
}

int flowControlValue(LineSettings::FlowControl flowControl)
{
    switch (flowControl) {
    case LineSettings::FlowControl::Software:
        return 2;
    case LineSettings::FlowControl::Hardware:
        return 3;
    case LineSettings::FlowControl::None:
        break;
    }
    return 1;
}

const std::array<Request, kSettings + kQuestions>& requests()
{
    static const QByteArray baud = bigEndian32(kUnitLine.baudRate);
    static const QByteArray current = bigEndian32(0); // asks for the current baud rate
    static const QByteArray dataSize = byte(kUnitLine.dataBits);
    static const QByteArray parity = byte(parityValue(kUnitLine.parity));
    static const QByteArray stopSize = byte(stopSizeValue(kUnitLine.stopBits));
    static const QByteArray control = byte(flowControlValue(kUnitLine.flowControl));
    static const std::array<Request, kSettings + kQuestions> table{{
        {1, baud, baud, "baud rate"},
        {2, dataSize, dataSize, "data size"},
        {3, parity, parity, "parity"},
        {4, stopSize, stopSize, "stop size"},
        {5, control, control, "flow control"},
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

bool ComPortNegotiation::binaryBothWays() const
{
    return agreed_.contains(key(kDo, kBinary)) && agreed_.contains(key(kWill, kBinary));
}

bool ComPortNegotiation::isDone() const
{
    return answered_ == requestCount() && binaryBothWays();
}

// Every answer is in, so a direction of binary still without a word is one the server passed
// over (server_quirks.h).
void ComPortNegotiation::checkBinaryAnswered()
{
    if (answered_ != requestCount() || binaryBothWays())
        return;
    refusal_ = agreed_.contains(key(kDo, kBinary))
                   ? QStringLiteral("the server never agreed to send binary (Telnet BINARY)")
                   : QStringLiteral("the server never agreed to take binary (Telnet BINARY)");
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
    checkBinaryAnswered();
}

QByteArray ComPortNegotiation::nextRequest()
{
    if (!refusal_.isEmpty() || !agreed_.contains(key(kDo, kComPort)) || sent_ > answered_ ||
        sent_ == requestCount())
        return {};
    const Request& next = requests()[size_t(sent_++)];
    return subnegotiation(kComPort, char(next.command) + next.value);
}

} // namespace tarvex::link
