#pragma once

#include <QDialog>
#include <memory>

namespace Ui {
class CAboutDialog;
}

namespace zep8 {

// "О конфигураторе ZEP-8": the program's name, version and copyright.
class CAboutDialog : public QDialog {
    Q_OBJECT

  public:
    explicit CAboutDialog(QWidget* parent = nullptr);
    ~CAboutDialog() override;

  private:
    std::unique_ptr<Ui::CAboutDialog> ui_;
};

}  // namespace zep8
