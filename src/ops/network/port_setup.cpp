#include "ops/network/port_setup.h"

#include "link/line/run_stop.h"
#include "model/catalogue.h"
#include "ops/device/device.h"
#include "platform/process_state.h"
#include "platform/prompter.h"
#include "platform/text.h"

namespace zep8 {
namespace {

constexpr std::string_view kFactorySettings[] = {"9600", "8", kParityNone, "1", "8", "16", "COM1"};
constexpr std::string_view kLinked = "Связь установлена!";
constexpr std::string_view kNoLink = "Не удалось установить связь с прибором!";
constexpr std::string_view kInterrupting = "Прерывание операции...";

}  // namespace

PortSetup::PortSetup(Device& device, PortSetupView& view, bool mainWindow,
                     std::function<bool()> establish)
    : device_(device),
      view_(view),
      mainWindow_(mainWindow),
      establish_(establish ? std::move(establish)
                           : [this] { return device_.EstablishLink(&stop_); }) {}

PortSetup::~PortSetup() {
    if (worker_.joinable()) {
        // The worker ends after the link attempt under way (the link's time-outs bound it).
        stop_.set();
        worker_.join();
    }
}

void PortSetup::Open() {
    stop_.reset();
    workerFinished_.reset();
    worker_ = std::thread(&PortSetup::Worker, this);
}

std::vector<PortSetup::Row> PortSetup::Rows() const {
    const auto lock = device_.LockProgramSettings();
    std::vector<Row> rows;
    for (const auto& p : device_.programNet().parameters())
        rows.push_back({p->title, p->value, p->name});
    return rows;
}

void PortSetup::EditValue(int row, const std::string& text) {
    const auto lock = device_.LockProgramSettings();
    const auto& parameters = device_.programNet().parameters();
    if (row >= 0 && row < static_cast<int>(parameters.size())) parameters[row]->value = text;
}

bool PortSetup::WorkerRunning() const {
    return !stop_.isSet();
}

bool PortSetup::Stopping() {
    return stop_.isSet() || device_.stoppingAll();
}

std::optional<int> PortSetup::Command(int command) {
    switch (command) {
        case CMD_FACTORY: {
            {
                const auto lock = device_.LockProgramSettings();
                const auto& parameters = device_.programNet().parameters();
                for (std::size_t i = 0; i < parameters.size() && i < std::size(kFactorySettings);
                     ++i) {
                    parameters[i]->value = kFactorySettings[i];
                    view_.SetValueCell(static_cast<int>(i), kFactorySettings[i]);
                }
            }
            [[fallthrough]];
        }
        case CMD_CONNECT:
            view_.SetStatus("Идет сканирование...", false);
            connectRequest_.set();
            return std::nullopt;
        case CMD_SCAN:
            scanRequest_.set();
            return std::nullopt;
        case CMD_OFFLINE:
        case CMD_EXIT:
        case CMD_OK:
            // Every way out stops the worker first; it hands the command back.
            if (WorkerRunning()) {
                if (command != CMD_OK) view_.SetStatus(kInterrupting, false);
                pendingCommand_ = command;
                stop_.set();
                return std::nullopt;
            }
            if (!workerFinished_.isSet()) return std::nullopt;
            if (worker_.joinable()) worker_.join();
            stop_.reset();
            if (command == CMD_OFFLINE) {
                processState().optionFlags = OPT_AUTOREAD_OFF;
                return CMD_OK;
            }
            if (command == CMD_EXIT) return CMD_EXIT;
            if (mainWindow_) {
                device_.prompter().notify("Связь с прибором установлена!", kProgramTitle,
                                          Icon::Information);
            }
            return CMD_OK;
        default:
            return std::nullopt;
    }
}

void PortSetup::Worker() {
    // A way out of the dialog ends even a slow link attempt's exchange.
    const RunStop run(&stop_);
    for (;;) {
        // No deadline: the dialog's every way out sets stop_, the calling
        // program's exit event the device's stop of all.
        const int woke = Event::waitAny(
            {&stop_, &device_.stopAllEvent(), &connectRequest_, &scanRequest_}, Event::kInfinite);
        if (woke <= 1) {
            stop_.set();  // the command handed back finds the worker ended
            break;
        }
        if (woke == 2) Connect();
        if (woke == 3) Scan();
    }
    workerFinished_.set();
    view_.PostCommand(pendingCommand_.load());
}

void PortSetup::Connect() {
    if (establish_()) {
        view_.SetStatus(kLinked, false);
        view_.PostCommand(CMD_OK);
    } else if (!Stopping()) {
        view_.SetStatus(kNoLink, true);
    }
}

void PortSetup::Scan() {
    Parameter* speed = nullptr;
    int row = 0;
    std::string remembered;
    {
        const auto lock = device_.LockProgramSettings();
        const auto& parameters = device_.programNet().parameters();
        for (; row < static_cast<int>(parameters.size()); ++row) {
            if (EqualsIgnoreCase(parameters[row]->name, "bps")) {
                speed = parameters[row].get();
                break;
            }
        }
        if (!speed) return;
        remembered = speed->value;
    }
    for (const std::string& item : GetDescriptor(speed->name).items) {
        if (Stopping()) break;
        {
            const auto lock = device_.LockProgramSettings();
            speed->value = item;
        }
        view_.SetValueCell(row, item);
        view_.SetStatus("Идет сканирование на скорости " + item + "...", false);
        if (establish_()) {
            view_.SetStatus(kLinked, false);
            view_.PostCommand(CMD_OK);
            return;
        }
    }
    {
        const auto lock = device_.LockProgramSettings();
        speed->value = remembered;
    }
    view_.SetValueCell(row, remembered);
    view_.SetStatus(kNoLink, true);
}

}  // namespace zep8
