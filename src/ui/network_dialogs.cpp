#include "platform/prompter.h"
#include "ui/device_dialogs.h"

namespace zep8 {

bool RunPortSetupDialog(QWidget*, Device&, Prompter&) {
    return false;
}

bool RunApplyDialog(QWidget*, Device&, Prompter& prompter) {
    prompter.notify("Это окно появится в следующей версии конфигуратора.", kProgramTitle,
                    Icon::Information);
    return false;
}

bool RunProgramSettingsDialog(QWidget*, Device&, Prompter& prompter) {
    prompter.notify("Это окно появится в следующей версии конфигуратора.", kProgramTitle,
                    Icon::Information);
    return false;
}

void RunSinglePointDialog(QWidget*, Device&, Prompter& prompter) {
    prompter.notify("Это окно появится в следующей версии конфигуратора.", kProgramTitle,
                    Icon::Information);
}

}  // namespace zep8
