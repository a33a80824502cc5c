#pragma once

#include "protocol/slots.h"

#include <QString>

#include <optional>

// Reading the unit's replies by character position (1-based in the comments, as the unit's
// documentation counts). A reply that does not begin as expected yields nothing.
namespace tarvex::protocol {

inline constexpr int kIdentityLength = 7;

// Characters first..last (1-based, inclusive) that exist; possibly none.
QString field(const QString& reply, int first, int last);

bool beginsWith(const QString& reply, QChar letter);
bool isIdentity(const QString& reply); // characters 1..3 are exactly "KTX"
// Characters 1..7, up to the first control character.
QString identityShown(const QString& reply);

std::optional<int> phoneCountOf(const QString& reply);      // "N" + slot character; 0..10
std::optional<EventMask> eventMaskOf(const QString& reply); // "E" + up to eight flags
// The strict readings of a program that must not guess: exactly "N" + a digit or ":", and
// exactly "E" + eight "0" or "1", each followed by nothing but the line end. The lenient
// readings above take a cut-off reply as a value, as the window always has.
bool isWholeCountReply(const QString& reply);
bool isWholeMaskReply(const QString& reply);
// "P", any, then up to ten characters, up to the first control character.
std::optional<QString> phoneNumberOf(const QString& reply);
QString messageTextOf(const QString& reply); // character 3 up to the first NUL or the end

// The text before its first control character (codes 0 to 31 and 127), so that a reply's CR
// or NUL never reaches a field shown to the operator or written back to the unit.
QString cutAtControl(const QString& text);

} // namespace tarvex::protocol
