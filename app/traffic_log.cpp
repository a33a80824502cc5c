#include "app/traffic_log.h"

#include "link/link.h"

namespace tarvex::app {

TrafficLog::TrafficLog(link::Link& link, QObject* parent) : QAbstractTableModel(parent)
{
    connect(&link, &link::Link::exchangeEnded, this, [this](const link::TracedExchange& exchange) {
        append(QDateTime::currentDateTimeUtc(), exchange);
    });
}

void TrafficLog::append(const QDateTime& at, const link::TracedExchange& exchange)
{
    if (entries_.size() == kKept) {
        beginRemoveRows({}, 0, 0);
        entries_.pop_front();
        endRemoveRows();
    }
    const int row = int(entries_.size());
    beginInsertRows({}, row, row);
    entries_.push_back({at, exchange});
    endInsertRows();
}

void TrafficLog::clear()
{
    beginResetModel();
    entries_.clear();
    endResetModel();
}

QStringList TrafficLog::traceLines() const
{
    QStringList lines;
    for (const Entry& entry : entries_)
        lines << link::traceLine(entry.at, link::traceText(entry.exchange));
    return lines;
}

int TrafficLog::rowCount(const QModelIndex& parent) const
{
    return parent.isValid() ? 0 : int(entries_.size());
}

int TrafficLog::columnCount(const QModelIndex& parent) const
{
    return parent.isValid() ? 0 : ColumnCount;
}

QString TrafficLog::cell(const Entry& entry, int column)
{
    const link::TracedExchange& exchange = entry.exchange;
    switch (column) {
    case Time:
        return entry.at.toLocalTime().toString(QStringLiteral("hh:mm:ss.zzz"));
    case Sent:
        return link::escaped(exchange.command);
    case Received:
        return exchange.read ? link::escaped(exchange.reply) : QStringLiteral("(read failed)");
    case Duration: {
        // Over a network the wait differs from line to line: it is shown as --trace shows it.
        const QString measured = QString::number(exchange.milliseconds, 'f', 1);
        const QString wait = link::waitGiven(exchange);
        return wait.isEmpty() ? measured : QStringLiteral("%1  %2").arg(measured, wait);
    }
    }
    return {};
}

QVariant TrafficLog::data(const QModelIndex& index, int role) const
{
    if (!index.isValid() || index.row() >= int(entries_.size()))
        return {};
    if (role == Qt::TextAlignmentRole && index.column() == Duration)
        return QVariant(Qt::AlignRight | Qt::AlignVCenter);
    if (role != Qt::DisplayRole)
        return {};
    return cell(entries_[std::size_t(index.row())], index.column());
}

QVariant TrafficLog::headerData(int section, Qt::Orientation orientation, int role) const
{
    if (orientation != Qt::Horizontal || role != Qt::DisplayRole)
        return {};
    static const QStringList kHeaders{QStringLiteral("Time"), QStringLiteral("Sent"),
                                      QStringLiteral("Received"), QStringLiteral("ms")};
    return kHeaders.value(section);
}

} // namespace tarvex::app
