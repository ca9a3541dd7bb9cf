#pragma once

#include <QDockWidget>

#include "link/exchange/exchange_journal.h"

class QTableView;
class QTimer;
class QToolButton;

namespace zep8 {

class DeviceIO;
class ExchangeMonitorModel;
class Prompter;

// "Монитор обмена": the last exchanges of the line in a table, newest at the
// bottom. The journal records from the start of the run, so the monitor
// opened after a failure still shows what led to it.
class ExchangeMonitor : public QDockWidget {
    Q_OBJECT
  public:
    ExchangeMonitor(DeviceIO& io, Prompter& prompter, QWidget* parent);
    ~ExchangeMonitor() override;

    ExchangeJournal& journal() { return journal_; }
    ExchangeMonitorModel& model() { return *model_; }
    // Takes the journal's new exchanges into the table now.
    void Refresh();
    // Writes the kept exchanges as text; false (and the operator told) when it fails.
    bool SaveTo(const QString& path);

    QToolButton* followButton() const { return follow_; }
    QToolButton* pauseButton() const { return pause_; }
    QToolButton* clearButton() const { return clear_; }
    QToolButton* saveButton() const { return save_; }

  private:
    void SaveAs();

    DeviceIO& io_;
    Prompter& prompter_;
    ExchangeJournal journal_;
    ExchangeMonitorModel* model_ = nullptr;
    QTableView* table_ = nullptr;
    QTimer* timer_ = nullptr;
    QToolButton* follow_ = nullptr;
    QToolButton* pause_ = nullptr;
    QToolButton* clear_ = nullptr;
    QToolButton* save_ = nullptr;
};

}  // namespace zep8
