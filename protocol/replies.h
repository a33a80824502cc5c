#pragma once

#include "protocol/reading.h"
#include "protocol/slots.h"

#include <QString>

// Reading the unit's replies by character position (1-based in the comments, as the unit's
// documentation counts). Every reading is NoAnswer for an empty reply and BadReply for one
// that does not begin with its letter.
namespace tarvex::protocol {

inline constexpr int kIdentityLength = 7;

// How far a reading trusts a reply. Either rule reads only a whole reply, because a reply cut by
// the wait must never pass for the unit's value: its line end has come, or every character of
// its value has. The window's Upload is lenient about what a whole reply holds: it is used as
// far as it reaches. A program that must not guess is strict: only exactly what was asked is a
// value.
enum class Rule { Lenient, Strict };

// Characters first..last (1-based, inclusive) that exist; possibly none.
QString field(const QString& reply, int first, int last);

bool isIdentity(const QString& reply); // characters 1..3 are exactly "KTX"
// Characters 1..7, up to the first control character.
QString identityShown(const QString& reply);

// Strict: exactly "N" + a slot character, then nothing but the line end (CR or LF). Lenient:
// that, or "N" and a line end after it; a missing or unknown character then reads 0.
Reading<int> phoneCountReading(const QString& reply, Rule rule);
// Strict: exactly "E" + eight "0" or "1", then nothing but the line end. Lenient: that, or "E"
// and a line end after it, with up to eight flags before it; only "0" unticks, so a missing flag
// ticks.
Reading<EventMask> eventMaskReading(const QString& reply, Rule rule);
// "P", the slot asked for, the closing CR: the number is up to ten characters up to the first
// control character. One rule for every program: the reply of another slot is never this
// slot's number, and a nine-digit number is still what the unit holds.
Reading<QString> phoneNumberReading(const QString& reply, int slot);
// Strict only: "M" + the slot's digit, the text, the closing NUL; the text as it travels.
Reading<QString> messageReading(const QString& reply, int slot);

// The window's editor takes any reply: character 3 up to the first NUL or the end.
QString messageTextOf(const QString& reply);

// The text before its first control character (codes 0 to 31 and 127), so that a reply's CR
// or NUL never reaches a field shown to the operator or written back to the unit.
QString cutAtControl(const QString& text);

} // namespace tarvex::protocol
