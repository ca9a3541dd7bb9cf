#pragma once

#include <QDialog>
#include <memory>

#include "ops/calibration/calibration_view.h"

namespace Ui {
class CCalibrationModeDialog;
}

namespace zep8 {

// "Режим юстировки": shows the type, sensor and input lists and the access
// code of a CCalibrationMode and hands every choice straight to it.
class CCalibrationModeDialog : public QDialog, public CalibrationModeView {
    Q_OBJECT

  public:
    CCalibrationModeDialog(QWidget* parent, CCalibrationMode& mode);
    ~CCalibrationModeDialog() override;

    void Refresh() override;
    void Close(DialogResult result) override;
    // The module is being asked: no choice is taken until it has answered,
    // and a close comes after that.
    void SetExchanging(bool on);

  public slots:
    // Escape and the window's close button are "Отмена".
    void reject() override;

  private:
    void WidenLists();

    std::unique_ptr<Ui::CCalibrationModeDialog> ui_;
    CCalibrationMode& mode_;
    bool exchanging_ = false;
    bool rejectAsked_ = false;
};

}  // namespace zep8
