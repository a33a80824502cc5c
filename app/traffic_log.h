#pragma once

#include "link/exchange_trace.h"

#include <QAbstractTableModel>
#include <QDateTime>
#include <QStringList>

#include <deque>

namespace tarvex::link {
class Link;
}

namespace tarvex::app {

// Every exchange with the unit as it ends, Connect's probes included, newest last, as the Traffic
// Log window lists it: what a support person asks a technician for. Only the latest kKept are kept,
// so a long session cannot grow without bound.
class TrafficLog : public QAbstractTableModel
{
    Q_OBJECT
public:
    static constexpr int kKept = 10000;
    enum Column { Time, Sent, Received, Duration, ColumnCount };

    explicit TrafficLog(link::Link& link, QObject* parent = nullptr);

    int rowCount(const QModelIndex& parent = {}) const override;
    int columnCount(const QModelIndex& parent = {}) const override;
    QVariant data(const QModelIndex& index, int role = Qt::DisplayRole) const override;
    QVariant headerData(int section, Qt::Orientation orientation,
                        int role = Qt::DisplayRole) const override;

    void append(const QDateTime& at, const link::TracedExchange& exchange);
    void clear();

    // The list as tarvex-cli --trace writes it, one line each.
    QStringList traceLines() const;

private:
    struct Entry
    {
        QDateTime at;
        link::TracedExchange exchange;
    };

    static QString cell(const Entry& entry, int column);

    std::deque<Entry> entries_;
};

} // namespace tarvex::app
