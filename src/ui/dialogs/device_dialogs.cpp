#include "ui/dialogs/device_dialogs.h"

#include "ops/device/device.h"
#include "ui/dialogs/apply.h"
#include "ui/dialogs/batch_write_dialog.h"
#include "ui/dialogs/new_net_parameters.h"
#include "ui/dialogs/setup_carrier.h"
#include "ui/dialogs/single_point_dialog.h"
#include "ui/link_tools/doctor_dialog.h"

namespace zep8 {

AnnounceOnClose::~AnnounceOnClose() {
    device_.changes.Notify(ChangeNotice::AllValues());
}

bool RunPortSetupDialog(QWidget* parent, Device& device, Prompter& prompter, SettingsStore& store) {
    // At start there is no main window yet, and nothing to tell the success to.
    const AnnounceOnClose announce(device);
    CSetupCarrier dialog(parent, device, prompter, store, parent != nullptr);
    return dialog.exec() == PortSetup::CMD_EXIT;
}

bool RunApplyDialog(QWidget* parent, Device& device) {
    const AnnounceOnClose announce(device);
    CApply dialog(parent, device);
    return dialog.exec() == QDialog::Accepted;
}

bool RunProgramSettingsDialog(QWidget* parent, Device& device) {
    const AnnounceOnClose announce(device);
    CNewNetParameters dialog(parent, device);
    return dialog.exec() == QDialog::Accepted;
}

void RunSinglePointDialog(QWidget* parent, Device& device) {
    const AnnounceOnClose announce(device);
    CSinglePoint dialog(parent, device);
    dialog.exec();
}

void RunDoctorDialog(QWidget* parent, Device& device) {
    const AnnounceOnClose announce(device);
    CDoctorDialog dialog(parent, device);
    dialog.Start();
    dialog.exec();
}

void RunBatchWriteDialog(QWidget* parent, Device& device, Prompter& prompter) {
    const AnnounceOnClose announce(device);
    CBatchWriteDialog dialog(device, prompter, parent);
    dialog.exec();
}

}  // namespace zep8
