#pragma once

// The calibration wizard in the window: its mode and step dialogs, opened in
// turn over the main window as the wizard's engine asks for them.

class QWidget;

namespace zep8 {

class Device;

// The calibration wizard, from its mode dialog to its end.
void RunCalibrationWizard(QWidget* parent, Device& device);

}  // namespace zep8
