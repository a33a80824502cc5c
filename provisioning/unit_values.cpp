#include "provisioning/unit_values.h"

#include "transfer/configuration_view.h"

#include <algorithm>

namespace tarvex::provisioning {

bool UnitValues::coversUpload() const
{
    return count && mask &&
           std::all_of(phones.begin(), phones.end(), [](const auto& phone) { return phone; });
}

void showOn(const UnitValues& unit, transfer::ConfigurationView& view)
{
    if (unit.count)
        view.setPhoneCount(*unit.count);
    if (unit.mask)
        view.setEventFlags(*unit.mask);
    for (int slot = 0; slot < protocol::kStoredNumbers; ++slot) {
        if (const auto& phone = unit.phones[size_t(slot)])
            view.setPhoneNumber(slot, *phone);
    }
}

} // namespace tarvex::provisioning
