#pragma once

#include "protocol/slots.h"

#include <QString>

#include <array>
#include <optional>

// The unit's eight events in mask order, by the key that files and the command line use and by
// the caption the window shows. Named here only, so that a key and its caption never disagree.
namespace tarvex::protocol {

const std::array<QString, kEventCount>& eventKeys();     // "power1_off_to_on", ..., "test"
const std::array<QString, kEventCount>& eventCaptions(); // "Power1 OFF to ON", ..., "TEST"

std::optional<int> eventIndex(const QString& key);

// The keys as a list for people: "power1_off_to_on, power2_off_to_on, ..., test".
QString eventKeyList();

} // namespace tarvex::protocol
