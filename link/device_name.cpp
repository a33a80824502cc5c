#include "link/device_name.h"

namespace tarvex::link {

DeviceName DeviceName::serial(const QString& path)
{
    DeviceName name;
    name.where_ = path;
    return name;
}

DeviceName DeviceName::network(LineAddress address)
{
    DeviceName name;
    name.where_ = std::move(address);
    return name;
}

std::optional<DeviceName> DeviceName::fromText(const QString& text, QString* reason)
{
    if (!isLineAddress(text))
        return serial(text);
    std::optional<LineAddress> address = parseLineAddress(text, reason);
    if (!address)
        return std::nullopt;
    return network(std::move(*address));
}

QString DeviceName::text() const
{
    if (const LineAddress* address = networkAddress())
        return address->text;
    return std::get<QString>(where_);
}

} // namespace tarvex::link
