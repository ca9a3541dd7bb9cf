#include "platform/prompter.h"
#include "ui/device_dialogs.h"

namespace zep8 {

void RunCalibrationWizard(QWidget*, Device&, Prompter& prompter) {
    prompter.notify("Это окно появится в следующей версии конфигуратора.", kProgramTitle,
                    Icon::Information);
}

}  // namespace zep8
