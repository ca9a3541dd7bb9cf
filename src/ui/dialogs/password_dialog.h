#pragma once

#include <QDialog>
#include <QString>
#include <memory>

namespace Ui {
class CPasswordDialog;
}

namespace zep8 {

// One line of text asked of the operator, masked for a password.
class CPasswordDialog : public QDialog {
    Q_OBJECT

  public:
    CPasswordDialog(QWidget* parent, const QString& prompt, const QString& caption,
                    bool masked = true);
    ~CPasswordDialog() override;

    QString text() const;

  private:
    std::unique_ptr<Ui::CPasswordDialog> ui_;
};

}  // namespace zep8
