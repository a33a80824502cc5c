#pragma once

#include "sim/unit_memory.h"

#include <QByteArray>
#include <QList>

// The unit's side of the line, written apart from protocol/ so that each side checks the other.
namespace tarvex::sim {

inline constexpr char kAcknowledgement[] = "OK\r"; // the answer to every accepted write
inline constexpr char kRefusal[] = "ERR\r";        // the answer to anything else it does not know
inline constexpr char kGarbage[] = "\x7f#*";       // --garbage: sent before each reply
// The longest command the unit knows: "&M", a digit, the longest text, NUL and CR.
inline constexpr qsizetype kLongestCommand = 3 + kLongestMessage + 2;

// Splits the received bytes into commands. A command ends at its CR, except a message write
// ("&M"...), which ends at a NUL followed by CR, so that its text may hold CR LF. A command
// longer than any the unit knows is kept only in part, with its end, and is then refused: the
// work is linear in the bytes received and the memory bounded, however long a line runs.
class CommandFramer
{
public:
    QList<QByteArray> feed(const QByteArray& bytes); // the commands completed, ends included
    QByteArray pending() const { return buffer_; }   // received, not yet a whole command

private:
    QByteArray buffer_;
    char last_ = 0;    // the byte received before this one, kept or not
    bool cut_ = false; // the pending command has outgrown buffer_
};

struct Answer
{
    QByteArray reply;
    bool changed = false; // the memory now holds another value
};

// The unit's answer to one whole command, as CommandFramer gives it:
//   "?"                 the identity
//   "?N" / "&N"+c       "N"+c / stores the count c ("0".."9", ":" for 10)
//   "?E" / "&E"+flags   "E"+flags / stores the eight flags ("0" or "1")
//   "?P"+c / "&P"+c+n   "P"+c+number / stores the number of slot c ("0".."9", ":" test number)
//   "?M"+d / "&M"+d+t   "M"+d+text+NUL / stores the text of slot d ("0".."7")
// Every reply ends with CR; writes are acknowledged with kAcknowledgement, and anything else
// is refused with kRefusal, such as a number longer than kLongestPhone or a text longer than
// kLongestMessage.
Answer answerCommand(const QByteArray& command, const QByteArray& identity, UnitMemory& memory);

} // namespace tarvex::sim
