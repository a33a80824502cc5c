#pragma once

#include <QChar>
#include <QString>

#include <array>

namespace tarvex::protocol {

inline constexpr int kEventCount = 8; // the events the unit watches, in mask order

// Phone count and phone slot travel as one character: "0".."9", and ":" for 10.
inline constexpr int kTestPhoneSlot = 10;
inline constexpr int kPhoneSlots = 10;                    // slots 0..9 hold the phone numbers
inline constexpr int kStoredNumbers = kTestPhoneSlot + 1; // the phone numbers and the test number
inline constexpr int kMessageSlots = kEventCount;         // message slots 0..7, one per event
inline constexpr int kPhoneLength = 10;
inline constexpr int kMessageLength = 80;

QChar slotCharacter(int number);       // 0..10; anything else is a programming error
int slotNumber(QChar character);       // ":" gives 10, a digit its value, anything else 0
bool isSlotCharacter(QChar character); // "0".."9" or ":"
QChar messageSlotCharacter(int slot);  // a message slot 0..7 as its digit, the same alphabet

// Eight event flags in wire order: Check1(0..3), then Check2(0..3).
using EventMask = std::array<bool, kEventCount>;

QString maskText(const EventMask& mask);           // "1" for ticked, "0" for unticked
EventMask maskFromText(const QString& characters); // only "0" unticks; missing ticks
bool isFlagCharacter(QChar character);             // "0" or "1", as the unit sends a flag

} // namespace tarvex::protocol
