#include "protocol/slots.h"

namespace tarvex::protocol {

namespace {
// The one alphabet of slot characters: the character at index n stands for n.
const QString kSlotAlphabet = QStringLiteral("0123456789:");
constexpr QChar kUntickedFlag = u'0';
constexpr QChar kTickedFlag = u'1';
} // namespace

QChar slotCharacter(int number)
{
    Q_ASSERT(number >= 0 && number <= kTestPhoneSlot);
    return kSlotAlphabet[number];
}

int slotNumber(QChar character)
{
    const qsizetype number = kSlotAlphabet.indexOf(character);
    return number < 0 ? 0 : int(number);
}

bool isSlotCharacter(QChar character)
{
    return kSlotAlphabet.contains(character);
}

QChar messageSlotCharacter(int slot)
{
    Q_ASSERT(slot >= 0 && slot < kMessageSlots);
    return slotCharacter(slot);
}

QString maskText(const EventMask& mask)
{
    QString text;
    text.reserve(int(mask.size()));
    for (bool ticked : mask)
        text.append(ticked ? kTickedFlag : kUntickedFlag);
    return text;
}

EventMask maskFromText(const QString& characters)
{
    EventMask mask{};
    for (qsizetype i = 0; i < qsizetype(mask.size()); ++i)
        mask[size_t(i)] = i >= characters.size() || characters[i] != kUntickedFlag;
    return mask;
}

bool isFlagCharacter(QChar character)
{
    return character == kUntickedFlag || character == kTickedFlag;
}

} // namespace tarvex::protocol
