#pragma once

// What the calibration engines need of their dialogs: the interfaces the
// mode and step dialogs implement, so that the engines never touch a widget.

#include <chrono>
#include <functional>
#include <string_view>

namespace zep8 {

class CCalibrationMode;
class CCalibrationStep;

// How a calibration dialog ended.
enum class DialogResult { Open, Ok, Cancel };

// The mode dialog's widgets: they read the mode's state when told to.
class CalibrationModeView {
  public:
    virtual ~CalibrationModeView() = default;
    // Lists, selections, description or visibility changed.
    virtual void Refresh() = 0;
    virtual void Close(DialogResult result) = 0;
};

// The step dialog's widgets. The step blocks its thread while the module
// measures, so every change has to be drawn at once.
class CalibrationStepView {
  public:
    virtual ~CalibrationStepView() = default;
    virtual void ShowTexts(std::string_view instruction, std::string_view statusLine) = 0;
    virtual void SetCaption(std::string_view caption) = 0;
    virtual void ShowContinue(bool shown) = 0;
    virtual void EnableContinue(bool enabled) = 0;
    virtual void SetWaitCursor(bool on) = 0;
    virtual void Close(DialogResult result) = 0;
};

// Shows a calibration dialog modally: gives it a view, opens it and returns
// once it has closed. The calibration command starts the wizard with
// RunMode on a new CCalibrationMode; the wizard asks for further dialogs the
// same way when the operator wants to repeat.
class CalibrationHost {
  public:
    virtual ~CalibrationHost() = default;
    virtual void RunMode(CCalibrationMode& mode) = 0;
    virtual void RunStep(CCalibrationStep& step) = 0;
    // Runs one exchange with the module and returns once it has ended. The
    // exchange touches only what the caller handed it. Here on the calling
    // thread; the dialogs run it on a thread of their own and keep the window
    // going meanwhile.
    virtual void RunExchange(const std::function<void()>& exchange) { exchange(); }
};

// Waits between the module's calibration steps; false when the operator
// pressed "Отмена" during the wait, which then ends at once. Empty: a real
// wait that the port's stop event cuts short.
using CalibrationWait = std::function<bool(std::chrono::milliseconds)>;

}  // namespace zep8
