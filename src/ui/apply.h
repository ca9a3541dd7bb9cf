#pragma once

#include <QDialog>
#include <memory>

namespace Ui {
class CApply;
}

namespace zep8 {

class Device;

// "Изменение сетевых параметров прибора": the module's settings about to be
// applied and the choices of how; OK applies them.
class CApply : public QDialog {
    Q_OBJECT

  public:
    CApply(QWidget* parent, Device& device);
    ~CApply() override;

    void accept() override;

  private:
    std::unique_ptr<Ui::CApply> ui_;
    Device& device_;
};

}  // namespace zep8
