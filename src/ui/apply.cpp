#include "ui/apply.h"

#include <QPlainTextEdit>

#include "ops/network_apply.h"
#include "ui/widget_helpers.h"
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
    ApplyChoices choices;
    choices.changeProgram = ui_->changeProgramCheck->isChecked();
    choices.allDevices = ui_->allDevicesCheck->isChecked();
    choices.threeTimes = ui_->threeTimesCheck->isChecked();
    ApplyNetworkSettings(device_, choices);
    QDialog::accept();
}

}  // namespace zep8
