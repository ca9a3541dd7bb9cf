#pragma once

#include <QDialog>
#include <memory>
#include <optional>

#include "ops/device/single_point.h"
#include "ui/frame/window_jobs.h"

namespace Ui {
class CSinglePoint;
}

namespace zep8 {

class Device;

// "Произвольный доступ к отдельным параметрам (Single Point)": any parameter
// read or written by its name, with the bytes of the exchange listed.
class CSinglePoint : public QDialog {
    Q_OBJECT

  public:
    CSinglePoint(QWidget* parent, Device& device);
    ~CSinglePoint() override;

    // A close while the exchange runs comes once it has ended.
    void done(int result) override;

  private:
    void OnNameEdited(const QString& text);
    void OnModeChosen();
    void Execute();
    void Executed(const SinglePoint::Request& request);
    // The dialog's fields into the engine, and back.
    void TakeFields();
    void ShowFields();

    std::unique_ptr<Ui::CSinglePoint> ui_;
    SinglePoint point_;
    std::optional<int> closing_;
    // Last: it ends, and with it the exchange under way, before the rest goes.
    WindowJobs jobs_;
};

}  // namespace zep8
