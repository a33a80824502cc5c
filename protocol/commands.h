#pragma once

#include "protocol/slots.h"

#include <QString>

// Every command line the unit understands, with its single closing CR and no LF.
namespace tarvex::protocol {

inline constexpr QChar kCarriageReturn = u'\r';
inline constexpr QChar kNul = QChar(u'\0');

QString identifyQuery();                                 // "?"
QString phoneCountRead();                                // "?N"
QString phoneCountWrite(int count);                      // "&N" + slot character
QString eventMaskRead();                                 // "?E"
QString eventMaskWrite(const EventMask& mask);           // "&E" + eight flags
QString phoneRead(int slot);                             // "?P" + slot character
QString phoneWrite(int slot, const QString& number);     // "&P" + slot character + number
QString messageRead(int slot);                           // "?M" + digit
QString messageWrite(int slot, const QString& wireText); // "&M" + digit + text + NUL

} // namespace tarvex::protocol
