#pragma once

#include "app/form_controls.h"
#include "transfer/configuration_view.h"

namespace tarvex::app {

// The configuration values as the window's controls show them, for the transfer code: the
// phone-count list, the eleven phone boxes, the eight event boxes, and message boxes over the
// window.
class ControlsView : public transfer::ConfigurationView
{
public:
    ControlsView(const FormControls& controls, QWidget* window);

    int phoneCount() const override;
    void setPhoneCount(int count) override;
    QString phoneNumber(int slot) const override;
    void setPhoneNumber(int slot, const QString& number) override;
    protocol::EventMask eventFlags() const override;
    void setEventFlags(const protocol::EventMask& flags) override;
    void warn(const QString& title, const QString& text) override;
    void inform(const QString& title, const QString& text) override;

private:
    const FormControls& controls_;
    QWidget* window_;
};

} // namespace tarvex::app
