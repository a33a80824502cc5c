#include "transfer/configuration_transfer.h"

#include "link/link.h"
#include "protocol/commands.h"
#include "protocol/replies.h"
#include "protocol/value_rules.h"
#include "transfer/configuration.h"
#include "transfer/fresh_start.h"

#include <QStringList>

#include <algorithm>

namespace tarvex::transfer {
namespace {

using protocol::kPhoneLength;
using protocol::kPhoneSlots;
using protocol::kTestPhoneSlot;

const QString kShortNumber = QStringLiteral("Phone No. should be of %1 digits").arg(kPhoneLength);

const QString kUnsendableNumber =
    QStringLiteral("Phone No. holds a character the unit cannot take");

using protocol::Rule;

// The controls as the window labels them, for its notices.
QString phoneName(int slot)
{
    return slot == kTestPhoneSlot ? QStringLiteral("Test Phone No.")
                                  : QStringLiteral("Phone No.%1").arg(slot + 1);
}

// The window's Upload reads leniently, but only whole replies, and a phone number only from the
// reply that names its slot: on a slow line a reply may land in the next exchange's wait, and
// must then not pass for the next control's value. Each returns false when it left its control
// as it was.
bool readPhoneCountInto(link::Link& link, ConfigurationView& view)
{
    const auto count =
        protocol::phoneCountReading(link.SendAndWait(protocol::phoneCountRead()), Rule::Lenient);
    if (count.hasValue())
        view.setPhoneCount(count.value());
    return count.hasValue();
}

bool readEventMaskInto(link::Link& link, ConfigurationView& view)
{
    const auto mask =
        protocol::eventMaskReading(link.SendAndWait(protocol::eventMaskRead()), Rule::Lenient);
    if (mask.hasValue())
        view.setEventFlags(mask.value());
    return mask.hasValue();
}

bool readPhoneNumberInto(link::Link& link, ConfigurationView& view, int slot)
{
    const auto number =
        protocol::phoneNumberReading(link.SendAndWait(protocol::phoneRead(slot)), slot);
    if (number.hasValue())
        view.setPhoneNumber(slot, number.value());
    return number.hasValue();
}

// A delay worth trying next: well above what the line waits now, within what an address takes.
std::chrono::milliseconds suggestedDelay(const link::Link& link)
{
    using std::chrono::milliseconds;
    return std::clamp(2 * link.waitUsed(), milliseconds{500}, link::kLargestGivenDelay);
}

// One notice for all the controls an upload could not read. Over a network the likely cause is
// a round trip longer than the line's delay, which the address can give.
QString unreadText(const QStringList& unread, const link::Link& link)
{
    QString text = QStringLiteral("These could not be read, and keep what they showed before:\n"
                                  "%1\n\nTheir replies did not come whole, or were not the "
                                  "replies asked for.")
                       .arg(unread.join(QStringLiteral(", ")));
    if (link.cm.networkAddress())
        text += QStringLiteral("\n\nOver a network a reply can come later than this line waits "
                               "(%1 ms): connect again with the round trip given in the address "
                               "as ?delay=MS (for example ?delay=%2), then Upload again.")
                    .arg(link.waitUsed().count())
                    .arg(suggestedDelay(link).count());
    return text;
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
    QStringList unread;
    if (!readPhoneCountInto(link, view))
        unread << QStringLiteral("No. of Phones");
    if (!readEventMaskInto(link, view))
        unread << QStringLiteral("the event switches");
    for (int slot = 0; slot < kPhoneSlots; ++slot)
        if (!readPhoneNumberInto(link, view, slot))
            unread << phoneName(slot);
    if (!readPhoneNumberInto(link, view, kTestPhoneSlot))
        unread << phoneName(kTestPhoneSlot);
    if (!unread.isEmpty())
        view.warn(QStringLiteral("Upload"), unreadText(unread, link));
}

void writeConfiguration(link::Link& link, ConfigurationView& view)
{
    // Taken once, so that the count sent and the numbers written always agree.
    const Configuration configuration = snapshotOf(view);
    startFresh(link);
    writePhoneCount(link, configuration.phoneCount);
    for (int intLoop = 1; intLoop <= configuration.phoneCount; ++intLoop) {
        const int slot = intLoop - 1;
        writeNumberOrWarn(link, view, slot, configuration.phones[slot], phoneName(slot));
    }
    writeNumberOrWarn(link, view, kTestPhoneSlot, configuration.phones[kTestPhoneSlot],
                      phoneName(kTestPhoneSlot));
    writeEventMask(link, configuration.flags);
    view.inform(QStringLiteral("Download"), QStringLiteral("Download Complete!"));
}

} // namespace tarvex::transfer
