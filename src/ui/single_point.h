#pragma once

#include <QDialog>
#include <memory>

#include "ops/single_point.h"

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

  private:
    void OnNameEdited(const QString& text);
    void OnModeChosen();
    void Execute();
    // The dialog's fields into the engine, and back.
    void TakeFields();
    void ShowFields();

    std::unique_ptr<Ui::CSinglePoint> ui_;
    SinglePoint point_;
};

}  // namespace zep8
