#include "protocol/commands.h"

#include "protocol/wire_text.h"

namespace tarvex::protocol {

namespace {

QString line(const QString& body)
{
    return body + kCarriageReturn;
}

} // namespace

QString identifyQuery()
{
    return line(QStringLiteral("?"));
}

QString phoneCountRead()
{
    return line(QStringLiteral("?N"));
}

QString phoneCountWrite(int count)
{
    return line(QStringLiteral("&N") + slotCharacter(count));
}

QString eventMaskRead()
{
    return line(QStringLiteral("?E"));
}

QString eventMaskWrite(const EventMask& mask)
{
    return line(QStringLiteral("&E") + maskText(mask));
}

QString phoneRead(int slot)
{
    return line(QStringLiteral("?P") + slotCharacter(slot));
}

std::optional<QString> phoneWrite(int slot, const QString& number)
{
    if (!isWireText(number))
        return std::nullopt;
    return line(QStringLiteral("&P") + slotCharacter(slot) + number);
}

QString messageRead(int slot)
{
    return line(QStringLiteral("?M") + messageSlotCharacter(slot));
}

std::optional<QString> messageWrite(int slot, const QString& wireText)
{
    if (!isWireText(wireText))
        return std::nullopt;
    return line(QStringLiteral("&M") + messageSlotCharacter(slot) + wireText + kNul);
}

} // namespace tarvex::protocol
