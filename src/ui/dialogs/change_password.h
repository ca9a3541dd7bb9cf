#pragma once

#include <QDialog>
#include <memory>
#include <string>

namespace Ui {
class CChangePassword;
}

namespace zep8 {

// "Смена пароля": only collects the three entries; the document checks and stores them.
class CChangePassword : public QDialog {
    Q_OBJECT

  public:
    explicit CChangePassword(QWidget* parent = nullptr);
    ~CChangePassword() override;

    std::string oldPassword() const;
    std::string newPassword() const;
    std::string newPasswordAgain() const;

  private:
    std::unique_ptr<Ui::CChangePassword> ui_;
};

}  // namespace zep8
