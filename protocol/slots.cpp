#include "protocol/slots.h"

namespace tarvex::protocol {

namespace {
constexpr QChar kTenCharacter = u':';
constexpr QChar kUntickedFlag = u'0';
constexpr QChar kTickedFlag = u'1';
} // namespace

QChar slotCharacter(int number)
{
    Q_ASSERT(number >= 0 && number <= kTestPhoneSlot);
    if (number == kTestPhoneSlot)
        return kTenCharacter;
    return QChar(u'0' + number);
}

int slotNumber(QChar character)
{
    if (character == kTenCharacter)
        return kTestPhoneSlot;
    if (character >= u'0' && character <= u'9')
        return character.unicode() - u'0';
    return 0;
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

} // namespace tarvex::protocol
