#include "sim/unit_protocol.h"

#include <utility>

namespace tarvex::sim {

namespace {

constexpr char kCarriageReturn = '\r';
constexpr char kNul = '\0';
const QByteArray kMessageWrite = QByteArrayLiteral("&M");
const QByteArray kMessageEnd = QByteArrayLiteral("\0\r");

// A phone slot or count travels as one character: "0".."9", and ":" for 10. -1 for any other.
int slotNumber(char c)
{
    return (c >= '0' && c <= ':') ? c - '0' : -1;
}

char slotCharacter(int number)
{
    return char('0' + number);
}

int messageSlot(char c)
{
    return (c >= '0' && c < '0' + kMessageSlots) ? c - '0' : -1;
}

template <typename T> Answer store(T& value, const T& received)
{
    const bool changed = value != received;
    value = received;
    return {kAcknowledgement, changed};
}

Answer reply(QByteArray text)
{
    return {text.append(kCarriageReturn), false};
}

Answer phoneCommand(char kind, int slot, const QByteArray& number, UnitMemory& memory)
{
    if (kind == '?' && number.isEmpty())
        return reply('P' + QByteArray(1, slotCharacter(slot)) + memory.phones[slot]);
    if (kind == '&' && number.size() <= kLongestPhone)
        return store(memory.phones[slot], number);
    return {kRefusal};
}

Answer messageCommand(char kind, int slot, const QByteArray& text, bool wholeWrite,
                      UnitMemory& memory)
{
    if (kind == '?' && text.isEmpty())
        return reply('M' + QByteArray::number(slot) + memory.messages[slot] + kNul);
    if (kind == '&' && wholeWrite && text.size() <= kLongestMessage)
        return store(memory.messages[slot], text);
    return {kRefusal};
}

} // namespace

QList<QByteArray> CommandFramer::feed(const QByteArray& bytes)
{
    QList<QByteArray> commands;
    for (const char byte : bytes) {
        const char previous = std::exchange(last_, byte);
        if (buffer_.size() <= kLongestCommand)
            buffer_.append(byte);
        else
            cut_ = true;
        if (byte != kCarriageReturn)
            continue;
        const bool messageWrite = buffer_.startsWith(kMessageWrite);
        if (messageWrite && previous != kNul)
            continue; // a CR inside the text
        if (cut_)
            buffer_.append(messageWrite ? kMessageEnd : QByteArray(1, kCarriageReturn));
        commands.append(buffer_);
        buffer_.clear();
        last_ = 0;
        cut_ = false;
    }
    return commands;
}

Answer answerCommand(const QByteArray& command, const QByteArray& identity, UnitMemory& memory)
{
    const bool messageWrite = command.startsWith(kMessageWrite) && command.endsWith(kMessageEnd);
    if (!command.endsWith(kCarriageReturn))
        return {kRefusal};
    const QByteArray line = command.chopped(messageWrite ? kMessageEnd.size() : 1);
    if (line == "?")
        return reply(identity);
    if (line.size() < 2 || (line[0] != '?' && line[0] != '&'))
        return {kRefusal};

    const char kind = line[0];
    const char item = line[1];
    const QByteArray rest = line.mid(2);
    if (item == 'N' && kind == '?' && rest.isEmpty())
        return reply("N" + QByteArray(1, slotCharacter(memory.phoneCount)));
    if (item == 'N' && kind == '&' && rest.size() == 1 && slotNumber(rest[0]) >= 0)
        return store(memory.phoneCount, slotNumber(rest[0]));
    if (item == 'E' && kind == '?' && rest.isEmpty())
        return reply("E" + memory.eventMask);
    if (item == 'E' && kind == '&' && isEventMask(rest))
        return store(memory.eventMask, rest);
    if (item == 'P' && !rest.isEmpty() && slotNumber(rest[0]) >= 0)
        return phoneCommand(kind, slotNumber(rest[0]), rest.mid(1), memory);
    if (item == 'M' && !rest.isEmpty() && messageSlot(rest[0]) >= 0)
        return messageCommand(kind, messageSlot(rest[0]), rest.mid(1), messageWrite, memory);
    return {kRefusal};
}

} // namespace tarvex::sim
