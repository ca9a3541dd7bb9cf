#include "ui/dialogs/apply.h"

#include <QPlainTextEdit>

#include "ops/network/network_apply.h"
#include "ui/frame/widget_helpers.h"
#include "ui_apply.h"

namespace zep8 {

CApply::CApply(QWidget* parent, Device& device)
    : QDialog(parent), ui_(std::make_unique<Ui::CApply>()), device_(device) {
    ui_->setupUi(this);
    setWindowTitle(Q(kApplyCaption));
    KeepCaptionWhole(*this);
    ui_->warningLabel->setText(Q(kApplyWarning));
    ui_->settingsGroup->setTitle(Q(kNewSettingsGroup));
    ui_->changeProgramCheck->setText(Q(kApplyChangeProgram));
    ui_->allDevicesCheck->setText(Q(kApplyAllDevices));
    ui_->threeTimesCheck->setText(Q(kApplyThreeTimes));

    const ApplyChoices initial;
    ui_->changeProgramCheck->setChecked(initial.changeProgram);
    ui_->allDevicesCheck->setChecked(initial.allDevices);
    ui_->threeTimesCheck->setChecked(initial.threeTimes);
    ui_->threeTimesCheck->setEnabled(initial.allDevices);
    ShowLines(*ui_->settingsText, QString::fromStdString(ModuleSettingsText(&device)));
    ui_->okButton->setFocus();
    FitHeightToWidth(*this);
}

CApply::~CApply() = default;

void CApply::accept() {
    if (applying_) return;
    applying_ = true;
    ApplyChoices choices;
    choices.changeProgram = ui_->changeProgramCheck->isChecked();
    choices.allDevices = ui_->allDevicesCheck->isChecked();
    choices.threeTimes = ui_->threeTimesCheck->isChecked();
    for (QWidget* w :
         {static_cast<QWidget*>(ui_->okButton), static_cast<QWidget*>(ui_->cancelButton),
          static_cast<QWidget*>(ui_->changeProgramCheck),
          static_cast<QWidget*>(ui_->allDevicesCheck),
          static_cast<QWidget*>(ui_->threeTimesCheck)}) {
        w->setEnabled(false);
    }
    auto apply = std::make_shared<NetworkApply>(device_, choices);
    // The program's settings change here, on the window thread, between the two exchanges.
    jobs_.Run([apply](WindowJobs::Context&) { apply->SendApply(); },
              [this, apply] {
                  apply->FollowModule();
                  jobs_.Run([apply](WindowJobs::Context&) { apply->Reconnect(); },
                            [this, apply] {
                                apply->Report();
                                QDialog::accept();
                            });
              });
}

void CApply::reject() {
    // Once OK has sent "APLY" the module has new settings: the dialog ends as OK.
    if (!applying_) QDialog::reject();
}

}  // namespace zep8
