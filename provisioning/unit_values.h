#pragma once

#include "protocol/slots.h"

#include <QString>

#include <array>
#include <optional>

namespace tarvex::transfer {
class ConfigurationView;
}

namespace tarvex::provisioning {

// What a unit holds, as far as it has been read: what was not read stays empty.
struct UnitValues
{
    std::optional<int> count;
    std::optional<protocol::EventMask> mask;
    std::array<std::optional<QString>, protocol::kStoredNumbers> phones; // the last: test number
    std::array<std::optional<QString>, protocol::kEventCount> messages;

    // Whether everything an upload reads is known: the count, the mask and all eleven numbers.
    bool coversUpload() const;
};

// Puts what was read on view (the window's controls); values not read stay as they are.
void showOn(const UnitValues& unit, transfer::ConfigurationView& view);

// One thing the unit stores and one command reads or writes.
struct Item
{
    enum class Kind {
        Phone,
        Message,
        Count,
        Mask
    }; // the order apply writes them in (itemsToWrite)
    Kind kind = Kind::Count;
    int slot = 0; // phone slot 0..10 or message slot 0..7

    auto operator<=>(const Item&) const = default;
};

} // namespace tarvex::provisioning
