#include "ui/dialogs/calibration_dialogs.h"

#include <QWidget>
#include <vector>

#include "ops/calibration/calibration_mode.h"
#include "ops/calibration/calibration_step.h"
#include "ui/dialogs/calibration_mode_dialog.h"
#include "ui/dialogs/calibration_step_dialog.h"
#include "ui/dialogs/device_dialogs.h"
#include "ui/frame/window_jobs.h"

namespace zep8 {
namespace {

// Opens the wizard's dialogs modally over the main window, nested as the
// wizard asks for them when the operator repeats.
class CalibrationDialogs : public CalibrationHost {
  public:
    explicit CalibrationDialogs(QWidget* parent) : parent_(parent) {}

    void RunMode(CCalibrationMode& mode) override {
        CCalibrationModeDialog dialog(parent_, mode);
        modes_.push_back(&dialog);
        open_.push_back(&dialog);
        mode.Open(dialog);
        if (mode.result() == DialogResult::Open) dialog.exec();
        open_.pop_back();
        modes_.pop_back();
    }

    void RunStep(CCalibrationStep& step) override {
        CCalibrationStepDialog dialog(parent_, step);
        steps_.push_back(&dialog);
        open_.push_back(&dialog);
        step.Open(dialog);
        if (step.result() == DialogResult::Open) dialog.exec();
        open_.pop_back();
        steps_.pop_back();
    }

    // The window keeps drawing and answering while the module is asked. A step
    // dialog shows its own wait cursor and takes only "Отмена" meanwhile; a mode
    // dialog takes nothing until the answer is there.
    void RunExchange(const std::function<void()>& exchange) override {
        CCalibrationModeDialog* mode =
            !modes_.empty() && !open_.empty() && open_.back() == modes_.back() ? modes_.back()
                                                                               : nullptr;
        if (mode) mode->SetExchanging(true);
        jobs_.RunAndWait(exchange, mode != nullptr || open_.empty());
        if (mode) mode->SetExchanging(false);
    }

    // Only a step waits, and only the innermost step dialog is on the screen.
    CalibrationWait Wait() {
        return [this](std::chrono::milliseconds duration) {
            return steps_.empty() || steps_.back()->Wait(duration);
        };
    }

  private:
    QWidget* parent_;
    std::vector<CCalibrationStepDialog*> steps_;
    std::vector<CCalibrationModeDialog*> modes_;
    std::vector<QDialog*> open_;  // innermost last
    WindowJobs jobs_;
};

}  // namespace

void RunCalibrationWizard(QWidget* parent, Device& device) {
    const AnnounceOnClose announce(device);
    CalibrationDialogs dialogs(parent);
    CCalibrationMode mode(device, dialogs, dialogs.Wait());
    dialogs.RunMode(mode);
}

}  // namespace zep8
