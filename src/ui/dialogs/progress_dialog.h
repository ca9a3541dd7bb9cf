#pragma once

#include <QDialog>
#include <atomic>
#include <functional>
#include <memory>

#include "ops/device/job_observer.h"

class QLineEdit;

namespace Ui {
class CProgressDialog;
}

namespace zep8 {

// The modal display of a device job: four counters and "Прервать". The job
// itself runs on the transfer thread and closes the dialog when it ends.
class CProgressDialog : public QDialog, public JobObserver {
    Q_OBJECT

  public:
    // `abort` is what "Прервать" does (stop the device's job).
    CProgressDialog(QWidget* parent, std::function<void()> abort);
    ~CProgressDialog() override;

    // On the window thread.
    void JobStarted(Job job, std::string_view caption) override;
    // On any thread.
    void CounterChanged(ProgressCounter counter, int value) override;
    void DisplayEnded() override;
    void JobFinished() override;
    // On the window thread: the modal loop until the display ends, then the
    // window's events until the job has finished.
    void WaitForJob() override;
    // No job is under way: the last one has finished, to its very end.
    bool jobFinished() const { return finished_.load(); }

  public slots:
    // Escape and the window manager cannot end a job; only its end closes the dialog.
    void reject() override;

  private:
    QLineEdit* Field(ProgressCounter counter) const;

    std::unique_ptr<Ui::CProgressDialog> ui_;
    std::function<void()> abort_;
    std::atomic<bool> finished_{true};
    std::atomic<bool> displayEnded_{true};
    // Updates still queued from an earlier job must not touch the next one.
    std::atomic<unsigned> job_{0};
};

}  // namespace zep8
