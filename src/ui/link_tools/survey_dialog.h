#pragma once

#include <QDialog>
#include <memory>
#include <vector>

#include "ops/diagnostics/bus_survey.h"
#include "ui/frame/window_jobs.h"

namespace Ui {
class CSurveyDialog;
}

namespace zep8 {

class Device;

// "Поиск приборов на линии": the survey runs on its own thread, its progress
// and finds come to the window thread; "Подключиться" takes the chosen module's
// address and speed as the program's; "Сохранить список..." keeps the finds in
// a table.
class CSurveyDialog : public QDialog, private SurveyObserver {
    Q_OBJECT
  public:
    CSurveyDialog(Device& device, QWidget* parent = nullptr);
    ~CSurveyDialog() override;

    void StartSurvey();
    bool running() const { return thread_.Running(); }
    const std::vector<SurveyFind>& finds() const { return finds_; }
    // "Сохранить список...": the finds as a table; false (and told) when it failed.
    bool SaveList(const QString& path);

  protected:
    void reject() override;

  private:
    void SurveyProgress(int done, int total, unsigned baudRate) override;
    void SurveyFound(const SurveyFind& find) override;
    void Finished(const SurveyResult& result);
    void Connect();
    void UpdateButtons();

    Device& device_;
    std::unique_ptr<Ui::CSurveyDialog> ui_;
    std::vector<SurveyFind> finds_;
    SurveyThread thread_;
    bool connecting_ = false;
    // Last: the port's reopening ends before the rest goes.
    WindowJobs jobs_;
};

}  // namespace zep8
