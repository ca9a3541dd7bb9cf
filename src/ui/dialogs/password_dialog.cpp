#include "ui/dialogs/password_dialog.h"

#include "ui/frame/widget_helpers.h"
#include "ui_password_dialog.h"

namespace zep8 {

CPasswordDialog::CPasswordDialog(QWidget* parent, const QString& prompt, const QString& caption,
                                 bool masked)
    : QDialog(parent), ui_(std::make_unique<Ui::CPasswordDialog>()) {
    ui_->setupUi(this);
    setWindowTitle(caption);
    KeepCaptionWhole(*this);
    ui_->promptLabel->setText(prompt);
    ui_->textField->setEchoMode(masked ? QLineEdit::Password : QLineEdit::Normal);
    ui_->textField->setFocus();
}

CPasswordDialog::~CPasswordDialog() = default;

QString CPasswordDialog::text() const {
    return ui_->textField->text();
}

}  // namespace zep8
