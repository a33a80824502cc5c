#include "protocol/events.h"

#include <QStringList>

#include <algorithm>

namespace tarvex::protocol {

const std::array<QString, kEventCount>& eventKeys()
{
    static const std::array<QString, kEventCount> keys = {
        QStringLiteral("power1_off_to_on"), QStringLiteral("power2_off_to_on"),
        QStringLiteral("power1_on_to_off"), QStringLiteral("power2_on_to_off"),
        QStringLiteral("input1_on_to_off"), QStringLiteral("input2_on_to_off"),
        QStringLiteral("input3_on_to_off"), QStringLiteral("test")};
    return keys;
}

const std::array<QString, kEventCount>& eventCaptions()
{
    static const std::array<QString, kEventCount> captions = {
        QStringLiteral("Power1 OFF to ON"),  QStringLiteral("Power2 OFF to ON"),
        QStringLiteral("Power1 ON to OFF"),  QStringLiteral("Power2 ON to OFF"),
        QStringLiteral("Input 1 ON to OFF"), QStringLiteral("Input 2 ON to OFF"),
        QStringLiteral("Input 3 ON to OFF"), QStringLiteral("TEST")};
    return captions;
}

std::optional<int> eventIndex(const QString& key)
{
    const auto& keys = eventKeys();
    const auto it = std::find(keys.begin(), keys.end(), key);
    return it == keys.end() ? std::nullopt : std::optional<int>(int(it - keys.begin()));
}

QString eventKeyList()
{
    return QStringList(eventKeys().begin(), eventKeys().end()).join(QStringLiteral(", "));
}

} // namespace tarvex::protocol
