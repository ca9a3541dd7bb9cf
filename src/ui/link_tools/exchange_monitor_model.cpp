#include "ui/link_tools/exchange_monitor_model.h"

#include <QBrush>
#include <QColor>

#include "ui/frame/widget_helpers.h"

namespace zep8 {

ExchangeMonitorModel::ExchangeMonitorModel(const ExchangeJournal& journal, std::size_t maxExchanges,
                                           QObject* parent)
    : QAbstractTableModel(parent), journal_(journal), maxRows_(2 * maxExchanges) {}

int ExchangeMonitorModel::Pull() {
    const std::vector<ExchangeJournal::Entry> fresh = journal_.Since(last_);
    if (fresh.empty()) return 0;
    last_ = fresh.back().number;
    std::size_t skip = 0;
    // A burst larger than the whole monitor: only its newest exchanges count.
    if (2 * fresh.size() > maxRows_) skip = fresh.size() - maxRows_ / 2;
    const std::size_t adding = 2 * (fresh.size() - skip);
    if (rows_.size() + adding > maxRows_) {
        const auto drop = static_cast<int>(rows_.size() + adding - maxRows_);
        beginRemoveRows({}, 0, drop - 1);
        rows_.erase(rows_.begin(), rows_.begin() + drop);
        endRemoveRows();
    }
    const int first = static_cast<int>(rows_.size());
    beginInsertRows({}, first, first + static_cast<int>(adding) - 1);
    for (std::size_t i = skip; i < fresh.size(); ++i) {
        const auto pair = DescribeExchange(fresh[i].record);
        rows_.push_back(pair[0]);
        rows_.push_back(pair[1]);
    }
    endInsertRows();
    return static_cast<int>(fresh.size() - skip);
}

void ExchangeMonitorModel::Clear() {
    beginResetModel();
    rows_.clear();
    last_ = journal_.Newest();
    endResetModel();
}

int ExchangeMonitorModel::rowCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : static_cast<int>(rows_.size());
}

int ExchangeMonitorModel::columnCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : COLUMNS;
}

QVariant ExchangeMonitorModel::data(const QModelIndex& index, int role) const {
    if (!index.isValid() || index.row() >= static_cast<int>(rows_.size())) return {};
    const auto row = static_cast<std::size_t>(index.row());
    if (role == Qt::ForegroundRole && rows_[row].failed) return QBrush(QColor(190, 0, 0));
    if (role == Qt::TextAlignmentRole && index.column() == REPLY_MS)
        return QVariant(Qt::AlignRight | Qt::AlignVCenter);
    if (role != Qt::DisplayRole && role != Qt::ToolTipRole) return {};
    const TraceRow& r = rows_[row];
    switch (index.column()) {
        case TIME:
            return Q(r.time);
        case DIRECTION:
            return Q(r.direction);
        case FRAME:
            return Q(r.frame);
        case DECODED:
            return Q(r.decoded);
        case REPLY_MS:
            return Q(r.replyMs);
        case OUTCOME:
            return Q(r.outcome);
        default:
            return {};
    }
}

QVariant ExchangeMonitorModel::headerData(int section, Qt::Orientation orientation,
                                          int role) const {
    if (orientation != Qt::Horizontal || role != Qt::DisplayRole) return {};
    static const char* const kHeaders[COLUMNS] = {"Время", "", "Кадр", "Разбор", "мс", "Итог"};
    return section >= 0 && section < COLUMNS ? QString::fromUtf8(kHeaders[section]) : QVariant();
}

}  // namespace zep8
