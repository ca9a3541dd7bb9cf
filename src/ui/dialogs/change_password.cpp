#include "ui/dialogs/change_password.h"

#include "ui/frame/widget_helpers.h"
#include "ui_change_password.h"

namespace zep8 {

CChangePassword::CChangePassword(QWidget* parent)
    : QDialog(parent), ui_(std::make_unique<Ui::CChangePassword>()) {
    ui_->setupUi(this);
    KeepCaptionWhole(*this);
}

CChangePassword::~CChangePassword() = default;

std::string CChangePassword::oldPassword() const {
    return ui_->oldField->text().toStdString();
}

std::string CChangePassword::newPassword() const {
    return ui_->newField->text().toStdString();
}

std::string CChangePassword::newPasswordAgain() const {
    return ui_->againField->text().toStdString();
}

}  // namespace zep8
