#pragma once

#include "protocol/reading.h"
#include "protocol/slots.h"

#include <QString>

// Reading the unit's replies by character position (1-based in the comments, as the unit's
// documentation counts). Every reading is NoAnswer for an empty reply and BadReply for one
// that does not begin with its letter.
namespace tarvex::protocol {

inline constexpr int kIdentityLength = 7;

// How far a reading trusts a reply. The window's Upload is lenient, as it always was: a reply
// that begins with the expected letter is used as far as it reaches. A program that must not
// guess is strict: only the whole reply to exactly what was asked is a value, because a reply
// cut by the wait, or the late rest of an earlier one, must never pass for the unit's value.
enum class Rule { Lenient, Strict };

// Characters first..last (1-based, inclusive) that exist; possibly none.
QString field(const QString& reply, int first, int last);

bool isIdentity(const QString& reply); // characters 1..3 are exactly "KTX"
// Characters 1..7, up to the first control character.
QString identityShown(const QString& reply);

// Lenient: "N" + a slot character, 0..10; a missing or unknown character reads 0.
// Strict: exactly "N" + a slot character, then nothing but the line end.
Reading<int> phoneCountReading(const QString& reply, Rule rule);
// Lenient: "E" + up to eight flags; only "0" unticks, so a missing flag ticks.
// Strict: exactly "E" + eight "0" or "1", then nothing but the line end.
Reading<EventMask> eventMaskReading(const QString& reply, Rule rule);
// Lenient: "P", any character, then up to ten characters up to the first control character.
// Strict: the same number, but character 2 is the slot asked for and the closing CR is there.
Reading<QString> phoneNumberReading(const QString& reply, int slot, Rule rule);
// Strict only: "M" + the slot's digit, the text, the closing NUL; the text as it travels.
Reading<QString> messageReading(const QString& reply, int slot);

// The window's editor takes any reply: character 3 up to the first NUL or the end.
QString messageTextOf(const QString& reply);

// The text before its first control character (codes 0 to 31 and 127), so that a reply's CR
// or NUL never reaches a field shown to the operator or written back to the unit.
QString cutAtControl(const QString& text);

} // namespace tarvex::protocol
