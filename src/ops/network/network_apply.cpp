#include "ops/network/network_apply.h"

#include <chrono>
#include <thread>

#include "ops/device/device.h"
#include "platform/prompter.h"

namespace zep8 {
namespace {

constexpr std::string_view kLinkSettings[] = {"bPS", "LEn", "PrtY", "Sbit", "A.Len", "Addr"};
constexpr std::chrono::milliseconds kApplyPause{100};
constexpr std::string_view kInternalError = "\n\nВнутренняя ошибка программы";

std::string Lines(const ObjectWithParameters& node,
                  std::initializer_list<std::pair<std::string_view, std::string_view>> rows) {
    std::string text;
    for (const auto& [label, name] : rows) text += std::string(label) + node.GetValue(name) + "\n";
    return text;
}

// Copies the module's link settings into the program's; "no data" is left out
// when `skipNoData`.
void CopyLinkSettings(Device& device, bool skipNoData, bool mark) {
    for (std::string_view name : kLinkSettings) {
        const std::string value = device.netNode.GetValue(name);
        if (skipNoData && value == kNoData) continue;
        device.programNet().SetValue(name, value, mark);
    }
}

}  // namespace

std::string ModuleSettingsText(const Device* device) {
    if (!device) {
        return "Нет данных - контекст устройства не получен диалогом APLY" +
               std::string(kInternalError);
    }
    return Lines(device->netNode, {{"Скорость обмена данными: ", "bPS"},
                                   {"Длина слова данных: ", "LEn"},
                                   {"Контроль по четности слова данных: ", "PrtY"},
                                   {"Количество стоп-бит в посылке: ", "Sbit"},
                                   {"Длина сетевого адреса: ", "A.Len"},
                                   {"Базовый адрес прибора: ", "Addr"}});
}

void ApplyNetworkSettings(Device& device, const ApplyChoices& choices) {
    NetworkApply apply(device, choices);
    apply.SendApply();
    apply.FollowModule();
    apply.Reconnect();
    apply.Report();
}

NetworkApply::NetworkApply(Device& device, const ApplyChoices& choices)
    : device_(device), choices_(choices) {
    apply_.value.clear();
}

NetworkApply::~NetworkApply() = default;

void NetworkApply::SendApply() {
    // The module moves to other settings: no poll asks it on the way. Taken
    // here, off the window thread: the pause waits for the poll read in flight.
    if (!pause_) pause_ = std::make_unique<PollPause>(device_.polls());
    device_.WriteParameter(apply_);
}

void NetworkApply::FollowModule() {
    if (choices_.changeProgram) CopyLinkSettings(device_, false, false);
}

void NetworkApply::Reconnect() {
    // However it ends, the polls come back after it.
    const std::unique_ptr<PollPause> pause = std::move(pause_);
    if (choices_.changeProgram) {
        device_.ReopenPort(true);
        // The program is closing: nothing more goes to the module.
        if (device_.stoppingAll()) return;
        Parameter dev("dev");
        if (device_.TransferParameter(DIRECTION_READ, &dev) != 0) {
            errors_ = "Ошибка команды 'dev':\n" + dev.errorText + "\n";
        }
    }
    if (choices_.allDevices) {
        // Modules that missed the first one hear it again.
        const int times = choices_.threeTimes ? 3 : 1;
        for (int i = 0; i < times; ++i) {
            std::this_thread::sleep_for(kApplyPause);
            device_.TransferParameter(DIRECTION_WRITE, &apply_);
            std::this_thread::sleep_for(kApplyPause);
        }
    }
}

void NetworkApply::Report() {
    if (!errors_.empty()) device_.prompter().notify(errors_, "Имела место ошибка", Icon::Error);
}

void ApplyNetworkSettingsAutomated(Device& device) {
    PollPause pause(device.polls());
    Parameter apply("APLY");
    apply.value.clear();
    device.WriteParameter(apply);
    CopyLinkSettings(device, true, true);
    device.ReopenPort(true);
}

std::string ProgramSettingsText(const Device* device) {
    if (!device) {
        return "Нет данных - контекст устройства не получен диалогом." +
               std::string(kInternalError);
    }
    return Lines(device->programNet(), {{"Скорость: ", "bPS"},
                                        {"Длина слова данных: ", "LEn"},
                                        {"Четность: ", "PrtY"},
                                        {"Кол-во стоп-бит: ", "Sbit"},
                                        {"Длина адреса: ", "A.Len"},
                                        {"Адрес: ", "Addr"},
                                        {"Порт: ", "Port"}});
}

void SwitchProgramSettings(Device& device) {
    device.ReopenPort(true);
}

}  // namespace zep8
