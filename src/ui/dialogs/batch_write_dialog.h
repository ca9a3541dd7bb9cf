#pragma once

#include <QDialog>
#include <atomic>
#include <memory>
#include <thread>
#include <vector>

#include "ops/fleet/batch_write.h"
#include "ops/diagnostics/bus_survey.h"

namespace Ui {
class CBatchWriteDialog;
}

namespace zep8 {

class Device;
class Prompter;

// "Записать конфигурацию в несколько приборов": the modules are ticked from a
// survey of the line or typed as addresses; the batch runs on a thread of its
// own, its progress and result rows come to the window thread; the result
// table can be saved as CSV.
class CBatchWriteDialog : public QDialog, private SurveyObserver, private BatchObserver {
    Q_OBJECT
  public:
    CBatchWriteDialog(Device& device, Prompter& prompter, QWidget* parent = nullptr);
    ~CBatchWriteDialog() override;

    // Adds the typed addresses, ticked; false (and told) when the text is no list.
    bool AddAddresses(const QString& text);
    void StartSurvey();
    void StartWrite();
    // "Сохранить...": the result rows as a table; false (and told) when it failed.
    bool SaveResults(const QString& path);
    bool running() const { return running_ || survey_.Running(); }
    const std::vector<BatchRow>& rows() const { return rows_; }

  protected:
    void reject() override;

  private:
    void SurveyProgress(int done, int total, unsigned baudRate) override;
    void SurveyFound(const SurveyFind& find) override;
    void ModuleStarted(int index, int count, int address) override;
    void ModuleProgress(BatchStage stage, int parameters, int failed) override;
    void ModuleFinished(const BatchRow& row) override;

    void AddModule(int address, const QString& text);
    std::vector<int> TickedAddresses() const;
    void Finished(const BatchResult& result);
    void UpdateButtons();

    Device& device_;
    Prompter& prompter_;
    std::unique_ptr<Ui::CBatchWriteDialog> ui_;
    SurveyThread survey_;
    BatchWrite batch_;
    std::thread worker_;
    std::atomic<bool> running_{false};
    bool closeWhenDone_ = false;
    // Written on the window thread only, as the worker's queued calls arrive.
    std::vector<BatchRow> rows_;
    QString module_;  // "Прибор 2 из 3, адрес 48"
};

}  // namespace zep8
