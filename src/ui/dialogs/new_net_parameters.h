#pragma once

#include <QDialog>
#include <memory>

namespace Ui {
class CNewNetParameters;
}

namespace zep8 {

class Device;

// "Перевод программы на новый режим работы": the program's settings about to
// be used; OK reopens the port with them.
class CNewNetParameters : public QDialog {
    Q_OBJECT

  public:
    CNewNetParameters(QWidget* parent, Device& device);
    ~CNewNetParameters() override;

    void accept() override;

  private:
    std::unique_ptr<Ui::CNewNetParameters> ui_;
    Device& device_;
};

}  // namespace zep8
