#pragma once

#include "provisioning/configuration_file.h"
#include "provisioning/unit_values.h"

#include <QList>
#include <QString>

#include <functional>

namespace tarvex::link {
class Link;
}

namespace tarvex::provisioning {

class Failure;

// How far a read or write is: done of total items (done 0 before the first exchange). Returning
// false stops the work after the exchange in flight, with Failure Interrupted.
using Progress = std::function<bool(int done, int total)>;

// A unit's items read and written strictly, over a link its caller owns (the window's open
// connection, or the command line's own port): a unit that stays silent or answers out of
// turn ends the work with a Failure instead of leaving a value as it was. A failed exchange
// throws link::LinkError as it is, because only the owner of the link knows what a lost line
// means to it (a reply cut short by the loss is that loss, not a bad reply); link::LinkAborted
// passes through the same way.
class UnitSession
{
public:
    UnitSession(link::Link& link, QString device);

    const QString& device() const { return device_; }
    void setProgress(Progress progress) { progress_ = std::move(progress); }

    QString identify(); // the identity; NoUnit when the reply is not a unit's

    // One write that went out, and whether the unit answered it: an unanswered one may have
    // been taken all the same.
    struct Write
    {
        Item item;
        bool answered = false;
        bool operator==(const Write&) const = default;
    };

    void read(const QList<Item>& items, UnitValues& into);
    // Writes each item's value: the file's, or for the mask the unit's flags merged with it.
    // A write that gets no answer at all ends the work (NoAnswer) before the next item.
    void write(const QList<Item>& items, const ManagedConfiguration& file, const UnitValues& unit);
    // Every write that went out, in the order sent.
    const QList<Write>& writes() const { return writes_; }

private:
    void readItem(const Item& item, UnitValues& into);
    void writeItem(const Item& item, const ManagedConfiguration& file, const UnitValues& unit);
    template <typename Read> auto ask(const QString& line, const Item& item, Read read);
    void report(int done, int total);
    [[noreturn]] void failOnReply(const Failure& failure, const QString& reply,
                                  const QString& doing);

    link::Link& link_;
    QString device_;
    Progress progress_;
    QList<Write> writes_;
};

} // namespace tarvex::provisioning
