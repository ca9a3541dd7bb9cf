#include <QWidget>
#include <vector>

#include "ops/calibration_mode.h"
#include "ops/calibration_step.h"
#include "ui/calibration_mode_dialog.h"
#include "ui/calibration_step_dialog.h"
#include "ui/device_dialogs.h"

namespace zep8 {
namespace {

// Opens the wizard's dialogs modally over the main window, nested as the
// wizard asks for them when the operator repeats.
class CalibrationDialogs : public CalibrationHost {
  public:
    explicit CalibrationDialogs(QWidget* parent) : parent_(parent) {}

    void RunMode(CCalibrationMode& mode) override {
        CCalibrationModeDialog dialog(parent_, mode);
        mode.Open(dialog);
        if (mode.result() == DialogResult::Open) dialog.exec();
    }

    void RunStep(CCalibrationStep& step) override {
        CCalibrationStepDialog dialog(parent_, step);
        steps_.push_back(&dialog);
        step.Open(dialog);
        if (step.result() == DialogResult::Open) dialog.exec();
        steps_.pop_back();
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
};

}  // namespace

void RunCalibrationWizard(QWidget* parent, Device& device, Prompter&) {
    const AnnounceOnClose announce(device);
    CalibrationDialogs dialogs(parent);
    CCalibrationMode mode(device, dialogs, dialogs.Wait());
    dialogs.RunMode(mode);
}

}  // namespace zep8
