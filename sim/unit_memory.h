#pragma once

#include <QByteArray>
#include <QString>

#include <array>
#include <optional>

class QJsonObject;

namespace tarvex::sim {

inline constexpr int kTestPhoneSlot = 10;
inline constexpr int kStoredNumbers = kTestPhoneSlot + 1; // "0".."9", and ":" for the test number
inline constexpr int kMaxPhoneCount = 10;
inline constexpr int kEvents = 8;
inline constexpr int kMessageSlots = kEvents; // "0".."7", one per event
inline constexpr int kMaskLength = kEvents;   // one flag per event
inline constexpr int kLongestPhone = 10;      // characters of a phone number, at most
inline constexpr int kLongestMessage = 80;    // bytes of a message text as it travels, at most

// What the unit remembers. Texts are kept as they travel on the line, one byte per character.
struct UnitMemory
{
    int phoneCount = 0;
    QByteArray eventMask = QByteArray(kMaskLength, '0'); // "0" or "1" per event
    std::array<QByteArray, kStoredNumbers> phones = defaultPhones();
    std::array<QByteArray, kMessageSlots> messages = defaultMessages();

    bool operator==(const UnitMemory&) const = default;

    static std::array<QByteArray, kStoredNumbers> defaultPhones();
    static std::array<QByteArray, kMessageSlots> defaultMessages();
};

bool isEventMask(const QByteArray& flags); // eight characters, each "0" or "1"

// The state file: {"count": 0..10, "mask": "00000000", "phones": [eleven, the last the test
// number], "messages": [eight]}, texts in ISO 8859-1 no longer than the unit holds. A key that
// is missing keeps its default.
QJsonObject toJson(const UnitMemory& memory);
std::optional<UnitMemory> memoryFromJson(const QJsonObject& object, QString* error);

// A missing file gives the defaults. Saving replaces the file atomically.
std::optional<UnitMemory> loadMemory(const QString& path, QString* error);
bool saveMemory(const QString& path, const UnitMemory& memory, QString* error);

} // namespace tarvex::sim
