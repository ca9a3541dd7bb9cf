#pragma once

#include <QAbstractTableModel>
#include <deque>

#include "link/exchange/exchange_journal.h"
#include "link/exchange/exchange_trace.h"

namespace zep8 {

// The monitor's rows: a request row and a reply row per exchange, taken from
// the journal a batch at a time, the oldest dropped beyond the journal's size.
class ExchangeMonitorModel : public QAbstractTableModel {
    Q_OBJECT
  public:
    enum Column { TIME, DIRECTION, FRAME, DECODED, REPLY_MS, OUTCOME, COLUMNS };

    ExchangeMonitorModel(const ExchangeJournal& journal, std::size_t maxExchanges,
                         QObject* parent = nullptr);

    // Takes what the journal has gained; the number of exchanges added.
    int Pull();
    void Clear();
    int exchanges() const { return static_cast<int>(rows_.size() / 2); }

    int rowCount(const QModelIndex& parent = {}) const override;
    int columnCount(const QModelIndex& parent = {}) const override;
    QVariant data(const QModelIndex& index, int role) const override;
    QVariant headerData(int section, Qt::Orientation orientation, int role) const override;

  private:
    const ExchangeJournal& journal_;
    const std::size_t maxRows_;
    std::deque<TraceRow> rows_;
    std::uint64_t last_ = 0;
};

}  // namespace zep8
