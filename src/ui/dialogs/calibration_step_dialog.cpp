#include "ui/dialogs/calibration_step_dialog.h"

#include <QCoreApplication>
#include <QEventLoop>
#include <QTimer>

#include "ops/calibration/calibration_step.h"
#include "ui/frame/widget_helpers.h"
#include "ui_calibration_step_dialog.h"

namespace zep8 {
CCalibrationStepDialog::CCalibrationStepDialog(QWidget* parent, CCalibrationStep& step)
    : QDialog(parent), ui_(std::make_unique<Ui::CCalibrationStepDialog>()), step_(step) {
    ui_->setupUi(this);
    // "Отмена" keeps its place while "Продолжить" is hidden.
    QSizePolicy policy = ui_->continueButton->sizePolicy();
    policy.setRetainSizeWhenHidden(true);
    ui_->continueButton->setSizePolicy(policy);
    connect(ui_->continueButton, &QPushButton::clicked, this, &CCalibrationStepDialog::Continue);
    connect(ui_->cancelButton, &QPushButton::clicked, this, &CCalibrationStepDialog::reject);
}

CCalibrationStepDialog::~CCalibrationStepDialog() = default;

void CCalibrationStepDialog::ShowTexts(std::string_view instruction, std::string_view statusLine) {
    ui_->instructionText->setText(Q(instruction));
    ui_->statusField->setText(Q(statusLine));
    ui_->statusField->setCursorPosition(0);
    DrawNow();
}

void CCalibrationStepDialog::SetCaption(std::string_view caption) {
    setWindowTitle(Q(caption));
    KeepCaptionWhole(*this);
}

void CCalibrationStepDialog::ShowContinue(bool shown) {
    continueShown_ = shown;
    UpdateContinue();
}

void CCalibrationStepDialog::EnableContinue(bool enabled) {
    continueEnabled_ = enabled;
    UpdateContinue();
}

void CCalibrationStepDialog::SetWaitCursor(bool on) {
    if (on == waitCursor_) return;
    waitCursor_ = on;
    // Over the dialog only: "Отмена" keeps its arrow, it can still be pressed.
    if (on) {
        setCursor(Qt::WaitCursor);
    } else {
        unsetCursor();
    }
}

void CCalibrationStepDialog::Close(DialogResult result) {
    SetWaitCursor(false);
    done(result == DialogResult::Ok ? QDialog::Accepted : QDialog::Rejected);
}

bool CCalibrationStepDialog::Wait(std::chrono::milliseconds duration) {
    if (!cancelPressed_) {
        QEventLoop loop;
        QTimer timer;
        timer.setSingleShot(true);
        timer.setTimerType(Qt::PreciseTimer);
        connect(&timer, &QTimer::timeout, &loop, &QEventLoop::quit);
        timer.start(duration);
        waitLoop_ = &loop;
        loop.exec();
        waitLoop_ = nullptr;
    }
    return !cancelPressed_;
}

void CCalibrationStepDialog::reject() {
    if (busy_) {
        // The step is on the stack below: it ends the task once the wait returns.
        cancelPressed_ = true;
        if (waitLoop_) waitLoop_->quit();
        return;
    }
    step_.Cancel();
    if (isVisible()) QDialog::done(QDialog::Rejected);
}

void CCalibrationStepDialog::Continue() {
    if (busy_) return;
    busy_ = true;
    cancelPressed_ = false;
    UpdateContinue();
    step_.Continue();
    busy_ = false;
    if (cancelPressed_ && step_.result() == DialogResult::Open) step_.Cancel();
    UpdateContinue();
    if (ui_->continueButton->isVisible() && ui_->continueButton->isEnabled()) {
        ui_->continueButton->setFocus();
    }
}

void CCalibrationStepDialog::UpdateContinue() {
    ui_->continueButton->setVisible(continueShown_);
    // A second press while the first still runs would start the step twice.
    ui_->continueButton->setEnabled(continueEnabled_ && !busy_);
}

// The step holds the thread until its next wait: draw the new texts now.
void CCalibrationStepDialog::DrawNow() {
    if (!isVisible()) return;
    QCoreApplication::sendPostedEvents(nullptr, QEvent::LayoutRequest);
    repaint();
}

}  // namespace zep8
