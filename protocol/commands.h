#pragma once

#include "protocol/slots.h"

#include <QString>

#include <optional>

// Every command line the unit understands, with its single closing CR and no LF.
namespace tarvex::protocol {

inline constexpr QChar kCarriageReturn = u'\r';
inline constexpr QChar kNul = QChar(u'\0');

QString identifyQuery();                       // "?"
QString phoneCountRead();                      // "?N"
QString phoneCountWrite(int count);            // "&N" + slot character
QString eventMaskRead();                       // "?E"
QString eventMaskWrite(const EventMask& mask); // "&E" + eight flags
QString phoneRead(int slot);                   // "?P" + slot character
// The two commands that carry text refuse (nullopt) text that would not reach the unit as it
// stands: a character outside ISO 8859-1, or a NUL, which the unit takes as the end.
[[nodiscard]] std::optional<QString> phoneWrite(int slot,
                                                const QString& number); // "&P" + c + number
QString messageRead(int slot);                                          // "?M" + digit
[[nodiscard]] std::optional<QString> messageWrite(int slot,
                                                  const QString& wireText); // "&M" + d + text + NUL

} // namespace tarvex::protocol
