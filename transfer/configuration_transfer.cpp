#include "transfer/configuration_transfer.h"

#include "link/link.h"
#include "protocol/commands.h"
#include "protocol/replies.h"
#include "protocol/value_rules.h"
#include "transfer/configuration.h"
#include "transfer/fresh_start.h"

namespace tarvex::transfer {
namespace {

using protocol::kPhoneLength;
using protocol::kPhoneSlots;
using protocol::kTestPhoneSlot;

const QString kShortNumber = QStringLiteral("Phone No. should be of %1 digits").arg(kPhoneLength);

const QString kUnsendableNumber =
    QStringLiteral("Phone No. holds a character the unit cannot take");

using protocol::Rule;

// The window's Upload reads leniently: a reply that does not begin as expected leaves its
// control alone, so the operator keeps what was on screen and sees which value did not come.
void readPhoneCountInto(link::Link& link, ConfigurationView& view)
{
    const auto count =
        protocol::phoneCountReading(link.SendAndWait(protocol::phoneCountRead()), Rule::Lenient);
    if (count.hasValue())
        view.setPhoneCount(count.value());
}

void readEventMaskInto(link::Link& link, ConfigurationView& view)
{
    const auto mask =
        protocol::eventMaskReading(link.SendAndWait(protocol::eventMaskRead()), Rule::Lenient);
    if (mask.hasValue())
        view.setEventFlags(mask.value());
}

void readPhoneNumberInto(link::Link& link, ConfigurationView& view, int slot)
{
    const auto number = protocol::phoneNumberReading(link.SendAndWait(protocol::phoneRead(slot)),
                                                     slot, Rule::Lenient);
    if (number.hasValue())
        view.setPhoneNumber(slot, number.value());
}

// Short and unsendable numbers are reported and skipped; the write goes on.
void writeNumberOrWarn(link::Link& link, ConfigurationView& view, int slot, const QString& number,
                       const QString& title)
{
    if (protocol::isShortPhoneNumber(number))
        view.warn(title, kShortNumber);
    else if (!writePhoneNumber(link, slot, number))
        view.warn(title, kUnsendableNumber);
}

} // namespace

Configuration snapshotOf(const ConfigurationView& view)
{
    Configuration configuration;
    configuration.phoneCount = view.phoneCount();
    for (int slot = 0; slot <= kTestPhoneSlot; ++slot)
        configuration.phones[slot] = view.phoneNumber(slot);
    configuration.flags = view.eventFlags();
    return configuration;
}

void writePhoneCount(link::Link& link, int count)
{
    link.SendAndWait(protocol::phoneCountWrite(count));
}

void writeEventMask(link::Link& link, const protocol::EventMask& mask)
{
    link.SendAndWait(protocol::eventMaskWrite(mask));
}

bool writePhoneNumber(link::Link& link, int slot, const QString& number)
{
    const auto line = protocol::phoneWrite(slot, number);
    if (!line)
        return false;
    link.SendAndWait(*line);
    return true;
}

void readConfiguration(link::Link& link, ConfigurationView& view)
{
    startFresh(link);
    readPhoneCountInto(link, view);
    readEventMaskInto(link, view);
    for (int slot = 0; slot < kPhoneSlots; ++slot)
        readPhoneNumberInto(link, view, slot);
    readPhoneNumberInto(link, view, kTestPhoneSlot);
}

void writeConfiguration(link::Link& link, ConfigurationView& view)
{
    // Taken once, so that the count sent and the numbers written always agree.
    const Configuration configuration = snapshotOf(view);
    startFresh(link);
    writePhoneCount(link, configuration.phoneCount);
    for (int intLoop = 1; intLoop <= configuration.phoneCount; ++intLoop) {
        const int slot = intLoop - 1;
        writeNumberOrWarn(link, view, slot, configuration.phones[slot],
                          QStringLiteral("Phone No.%1").arg(intLoop));
    }
    writeNumberOrWarn(link, view, kTestPhoneSlot, configuration.phones[kTestPhoneSlot],
                      QStringLiteral("Test Phone No."));
    writeEventMask(link, configuration.flags);
    view.inform(QStringLiteral("Download"), QStringLiteral("Download Complete!"));
}

} // namespace tarvex::transfer
