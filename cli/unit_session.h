#pragma once

#include "cli/differences.h"
#include "link/link.h"
#include "link/serial_port.h"

#include <QString>

#include <chrono>

namespace tarvex::cli {

class ExchangeLog;

// The line to the one unit a run talks to, and its items read and written strictly: a unit
// that does not answer, or answers out of turn, ends the run instead of leaving a value as it
// was. Every failure is thrown as a Failure with its exit code.
class UnitSession
{
public:
    UnitSession(const QString& device, std::chrono::milliseconds replyWait, ExchangeLog& log);

    void open();        // exit 69 (no such device), 75 (busy) or 77 (no permission)
    QString identify(); // the identity; exit 69 when the reply is not a unit's
    const QString& device() const { return device_; }

    void read(const QList<Item>& items, UnitValues& into);
    // Writes each item's value: the file's, or for the mask the unit's flags merged with it.
    void write(const QList<Item>& items, const ManagedConfiguration& file, const UnitValues& unit);
    // The items whose write the unit answered, in the order written.
    const QList<Item>& written() const { return written_; }

private:
    void readItem(const Item& item, UnitValues& into);
    void writeItem(const Item& item, const ManagedConfiguration& file, const UnitValues& unit);
    template <typename T>
    std::optional<T> whole(const std::optional<T>& value, bool (*isWhole)(const QString&));
    template <typename T> T answered(const std::optional<T>& value, const QString& what);
    template <typename Step> void exchange(Step step);

    QString device_;
    ExchangeLog& log_;
    QList<Item> written_;
    link::SerialPort port_;
    link::Link link_;
};

} // namespace tarvex::cli
