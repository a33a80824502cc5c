#pragma once

#include "protocol/slots.h"

#include <QString>

namespace tarvex::transfer {

// The configuration values as the operator sees them: the window implements this over its
// controls, the command-line program over a plain structure.
class ConfigurationView
{
public:
    virtual ~ConfigurationView() = default;

    virtual int phoneCount() const = 0; // 0..10
    virtual void setPhoneCount(int count) = 0;
    virtual QString phoneNumber(int slot) const = 0; // slot 0..9, 10 for the test number
    virtual void setPhoneNumber(int slot, const QString& number) = 0;
    virtual protocol::EventMask eventFlags() const = 0;
    virtual void setEventFlags(const protocol::EventMask& flags) = 0;

    // Modal notices; they return when the operator has acknowledged them.
    virtual void warn(const QString& title, const QString& text) = 0;
    virtual void inform(const QString& title, const QString& text) = 0;
};

} // namespace tarvex::transfer
