#pragma once

// Moving the module, and then the program, to new network settings, and
// moving the program alone: the engines of the apply and program settings
// dialogs and of /aply.

#include <memory>
#include <string>
#include <string_view>

#include "link/exchange/poll_gate.h"

#include "model/parameter.h"

namespace zep8 {

class Device;

// Switching the module, and then the program, to new network settings (the
// apply dialog), and switching only the program (the program settings dialog).
// The dialogs collect the choices and show these texts; the work is here.

inline constexpr std::string_view kApplyCaption = "Изменение сетевых параметров прибора";
inline constexpr std::string_view kApplyWarning =
    "ВНИМАНИЕ: Данная операция приведет к изменению сетевых параметров прибора, что может "
    "привести к потере связи с прибором. Проверьте параметры связи:";
inline constexpr std::string_view kApplyChangeProgram =
    "Поменять сразу сетевые настройки программы";
inline constexpr std::string_view kApplyAllDevices =
    "Поменять сетевые настройки всех приборов в сети";
inline constexpr std::string_view kApplyThreeTimes = "Поcлать посылку трижды (для надежности)";

inline constexpr std::string_view kSwitchCaption = "Перевод программы на новый режим работы";
inline constexpr std::string_view kSwitchWarning =
    "ВНИМАНИЕ: Данная операция приведет к переключению программы на новые сетевые параметры. Это "
    "может привести к потере связи с прибором. Проверьте параметры связи:";
inline constexpr std::string_view kNewSettingsGroup = "Новые параметры:";

// The check boxes of the apply dialog, as they start.
struct ApplyChoices {
    bool changeProgram = true;
    bool allDevices = false;
    bool threeTimes = true;  // only counts with allDevices
};

// The module's settings about to be applied, one line each.
std::string ModuleSettingsText(const Device* device);
// The apply dialog's OK: "APLY" to the module, then the program follows it
// and checks the link; tells the operator what failed.
void ApplyNetworkSettings(Device& device, const ApplyChoices& choices);

// The apply dialog's OK in its steps, for a dialog that keeps its window going
// during the exchanges: SendApply and Reconnect exchange and may run on any
// thread, one after the other; FollowModule, between them, changes the
// program's settings on the thread that owns the configuration; Report tells
// the operator what failed. The polls stand aside from SendApply to the end
// of Reconnect (or until the apply is dropped): the module moves to other
// settings under them. Each exchange is a run of its own: a lost line stops
// nothing that comes after the apply.
class NetworkApply {
  public:
    NetworkApply(Device& device, const ApplyChoices& choices);
    ~NetworkApply();
    NetworkApply(const NetworkApply&) = delete;
    NetworkApply& operator=(const NetworkApply&) = delete;

    void SendApply();
    void FollowModule();
    void Reconnect();
    void Report();

  private:
    Device& device_;
    ApplyChoices choices_;
    Parameter apply_{"APLY"};
    std::string errors_;
    std::unique_ptr<PollPause> pause_;
};

// The same in an automated run with "aply", without a dialog.
void ApplyNetworkSettingsAutomated(Device& device);

// The program's settings about to be used, one line each.
std::string ProgramSettingsText(const Device* device);
// The program settings dialog's OK.
void SwitchProgramSettings(Device& device);

}  // namespace zep8
