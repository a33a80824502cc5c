#include "transfer/configuration_transfer.h"

#include "link/link.h"
#include "protocol/commands.h"
#include "protocol/replies.h"
#include "transfer/configuration.h"

namespace tarvex::transfer {
namespace {

using protocol::kPhoneLength;
using protocol::kPhoneSlots;
using protocol::kTestPhoneSlot;

const QString kShortNumber = QStringLiteral("Phone No. should be of 10 digits");

void readPhoneNumber(link::Link& link, ConfigurationView& view, int slot)
{
    const auto number = protocol::phoneNumberOf(link.SendAndWait(protocol::phoneRead(slot)));
    if (number)
        view.setPhoneNumber(slot, *number);
}

bool isLongEnough(const QString& number)
{
    return number.size() >= kPhoneLength;
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

void readConfiguration(link::Link& link, ConfigurationView& view)
{
    if (const auto count = protocol::phoneCountOf(link.SendAndWait(protocol::phoneCountRead())))
        view.setPhoneCount(*count);
    if (const auto mask = protocol::eventMaskOf(link.SendAndWait(protocol::eventMaskRead())))
        view.setEventFlags(*mask);
    for (int slot = 0; slot < kPhoneSlots; ++slot)
        readPhoneNumber(link, view, slot);
    readPhoneNumber(link, view, kTestPhoneSlot);
}

void writeConfiguration(link::Link& link, ConfigurationView& view)
{
    // Taken once, so that the count sent and the numbers written always agree.
    const Configuration configuration = snapshotOf(view);
    link.SendAndWait(protocol::phoneCountWrite(configuration.phoneCount));
    for (int intLoop = 1; intLoop <= configuration.phoneCount; ++intLoop) {
        const int slot = intLoop - 1;
        const QString& number = configuration.phones[slot];
        if (isLongEnough(number))
            link.SendAndWait(protocol::phoneWrite(slot, number));
        else
            view.warn(QStringLiteral("Phone No.%1").arg(intLoop), kShortNumber);
    }
    const QString& testNumber = configuration.phones[kTestPhoneSlot];
    if (isLongEnough(testNumber))
        link.SendAndWait(protocol::phoneWrite(kTestPhoneSlot, testNumber));
    else
        view.warn(QStringLiteral("Test Phone No."), kShortNumber);
    link.SendAndWait(protocol::eventMaskWrite(configuration.flags));
    view.inform(QStringLiteral("Download"), QStringLiteral("Download Complete!"));
}

} // namespace tarvex::transfer
