#include "ui/dialogs/new_net_parameters.h"

#include <QPlainTextEdit>

#include "ops/network/network_apply.h"
#include "ui/frame/widget_helpers.h"
#include "ui_new_net_parameters.h"

namespace zep8 {

CNewNetParameters::CNewNetParameters(QWidget* parent, Device& device)
    : QDialog(parent), ui_(std::make_unique<Ui::CNewNetParameters>()), device_(device) {
    ui_->setupUi(this);
    setWindowTitle(Q(kSwitchCaption));
    KeepCaptionWhole(*this);
    ui_->warningLabel->setText(Q(kSwitchWarning));
    ui_->settingsGroup->setTitle(Q(kNewSettingsGroup));
    ShowLines(*ui_->settingsText, QString::fromStdString(ProgramSettingsText(&device)));
    ui_->okButton->setFocus();
    FitHeightToWidth(*this);
}

CNewNetParameters::~CNewNetParameters() = default;

void CNewNetParameters::accept() {
    SwitchProgramSettings(device_);
    QDialog::accept();
}

}  // namespace zep8
