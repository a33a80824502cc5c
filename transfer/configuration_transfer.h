#pragma once

#include "protocol/slots.h"

#include <QString>

namespace tarvex::link {
class Link;
}

namespace tarvex::transfer {

// Single writes, one exchange each, their replies not examined. A phone write refuses (false,
// nothing sent) a number the unit cannot take as it is.
void writePhoneCount(link::Link& link, int count);
void writeEventMask(link::Link& link, const protocol::EventMask& mask);
[[nodiscard]] bool writePhoneNumber(link::Link& link, int slot, const QString& number);

class ConfigurationView;

// Reads the phone count, the event mask and the eleven phone numbers, thirteen exchanges in
// that order after a fresh start, putting each value on view as soon as its reply is in. A reply
// that is not whole, or not the reply to what was asked, leaves its value alone; when any did,
// the read ends with one view.warn naming those values. Throws link::LinkError or
// link::LinkAborted, leaving what the earlier steps wrote.
void readConfiguration(link::Link& link, ConfigurationView& view);

// Writes the phone count, the numbers of the slots in use, the test number and the event
// mask, with the values as they were when the write started. A number shorter than ten
// characters is reported through view.warn and skipped; the write ends with view.inform
// "Download Complete!". Throws as readConfiguration does, and then reports no completion.
void writeConfiguration(link::Link& link, ConfigurationView& view);

} // namespace tarvex::transfer
