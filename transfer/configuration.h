#pragma once

#include "protocol/slots.h"
#include "transfer/configuration_view.h"

#include <QString>

#include <array>

namespace tarvex::transfer {

// The values a read fills and a write sends, as plain data.
struct Configuration
{
    int phoneCount = 0;
    std::array<QString, protocol::kStoredNumbers> phones; // the last is the test number
    protocol::EventMask flags{};
};

Configuration snapshotOf(const ConfigurationView& view);

// A view over plain values, for programs without a window. Notices are dropped unless a
// subclass reports them.
class PlainConfigurationView : public ConfigurationView
{
public:
    Configuration values;

    int phoneCount() const override { return values.phoneCount; }
    void setPhoneCount(int count) override { values.phoneCount = count; }
    QString phoneNumber(int slot) const override { return values.phones[slot]; }
    void setPhoneNumber(int slot, const QString& number) override { values.phones[slot] = number; }
    protocol::EventMask eventFlags() const override { return values.flags; }
    void setEventFlags(const protocol::EventMask& flags) override { values.flags = flags; }
    void warn(const QString&, const QString&) override {}
    void inform(const QString&, const QString&) override {}
};

} // namespace tarvex::transfer
