#pragma once

#include <QDialog>
#include <chrono>
#include <memory>

#include "ops/calibration/calibration_view.h"

class QEventLoop;

namespace Ui {
class CCalibrationStepDialog;
}

namespace zep8 {

// "Продолжение юстировки": the instruction, the status line and the two
// buttons of a CCalibrationStep. The step runs on this thread and blocks it
// between its exchanges; its waits come here, so the window keeps drawing
// and "Отмена" keeps working while the module measures.
class CCalibrationStepDialog : public QDialog, public CalibrationStepView {
    Q_OBJECT

  public:
    CCalibrationStepDialog(QWidget* parent, CCalibrationStep& step);
    ~CCalibrationStepDialog() override;

    void ShowTexts(std::string_view instruction, std::string_view statusLine) override;
    void SetCaption(std::string_view caption) override;
    void ShowContinue(bool shown) override;
    void EnableContinue(bool enabled) override;
    void SetWaitCursor(bool on) override;
    void Close(DialogResult result) override;

    // Runs the window's events until the time is up; false, at once, when
    // "Отмена" is pressed meanwhile.
    bool Wait(std::chrono::milliseconds duration);

  public slots:
    // Escape and the window's close button are "Отмена".
    void reject() override;

  private:
    void Continue();
    void UpdateContinue();
    void DrawNow();

    std::unique_ptr<Ui::CCalibrationStepDialog> ui_;
    CCalibrationStep& step_;
    bool continueShown_ = true;
    bool continueEnabled_ = true;
    // A press of "Продолжить" is being carried out.
    bool busy_ = false;
    bool cancelPressed_ = false;
    bool waitCursor_ = false;
    QEventLoop* waitLoop_ = nullptr;
};

}  // namespace zep8
