#include "register/configuration_changes.h"

namespace tarvex::fleet {
namespace {

std::optional<provisioning::ManagedConfiguration> loaded(const QByteArray& bytes)
{
    return bytes.isEmpty() ? std::nullopt : provisioning::loadConfiguration(bytes).configuration;
}

} // namespace

provisioning::UnitValues valuesOf(const provisioning::ManagedConfiguration& configuration)
{
    provisioning::UnitValues unit;
    if (configuration.numbers) {
        unit.count = int(configuration.numbers->size());
        for (qsizetype slot = 0; slot < configuration.numbers->size(); ++slot)
            unit.phones[size_t(slot)] = configuration.numbers->at(slot);
    }
    unit.phones[protocol::kTestPhoneSlot] = configuration.testNumber;
    if (configuration.managesEventMask()) {
        protocol::EventMask mask{};
        for (int event = 0; event < protocol::kEventCount; ++event)
            mask[size_t(event)] = configuration.events[size_t(event)].enabled.value_or(false);
        unit.mask = mask;
    }
    for (int event = 0; event < protocol::kEventCount; ++event)
        unit.messages[size_t(event)] = configuration.events[size_t(event)].message;
    return unit;
}

QList<provisioning::Change> changesBetween(const QByteArray& older, const QByteArray& newer)
{
    const auto after = loaded(newer);
    if (!after)
        return {};
    const auto before = loaded(older);
    return provisioning::differences(before ? valuesOf(*before) : provisioning::UnitValues{},
                                     *after);
}

bool differsFrom(const QByteArray& backup, const provisioning::ManagedConfiguration& wanted)
{
    const auto unit = loaded(backup);
    return !unit || !provisioning::differences(valuesOf(*unit), wanted).isEmpty();
}

} // namespace tarvex::fleet
