#include "ops/calibration/calibration_mode.h"

#include <algorithm>
#include <array>
#include <atomic>
#include <cctype>

#include "model/catalogue.h"
#include "model/value_type.h"
#include "ops/calibration/calibration_step.h"
#include "ops/calibration/calibration_tables.h"
#include "ops/device/device.h"
#include "platform/prompter.h"

namespace zep8 {
namespace {

constexpr std::string_view kRetrySuffix =
    "Для повтора предыдущей команды нажмите кнопку Да, или можете выйти из процесса юстировки.";
constexpr std::string_view kNoLinkCaption = "Нет связи с прибором";
constexpr std::string_view kStrangeReply = "Странный ответ на \"in-t\": '";
constexpr std::string_view kChooseType = "Выбертие тип юстировки для прохода в следующее меню.";
constexpr std::string_view kWrongCode = "Неправильно введен код";
constexpr std::string_view kErrorCaption = "Ошибка";
constexpr std::string_view kWriteRetrySuffix =
    "\nДля повтора предыдущей команды нажмите кнопку Да, или можете выйти из процесса юстирвки.";
constexpr std::string_view kWriteCaption = "Ошибка обмена с прибором (запись)";
constexpr std::string_view kJumperOn =
    "Выполните подготовительные функции, связанные с предстоящей записью коэффициентов юстировки в "
    "энергонезависимую память прибора. Если вы не выполните эти указания, процесс юстировки будет "
    "проходить обычным образом, но его результаты не будут зафиксированы.\nДля записи коэффициента "
    "юстировки в долговременную память модуля ЗЕП-8 выключите питание, откройте корпус прибора и "
    "установите перемычку на коммутаторе JP1 (подробнее см. инструкцию к прибору). ";
constexpr std::string_view kJumperOnCaption = "Выполните подготовительные дйствия";
constexpr std::string_view kJumperOff =
    "Снимите перемычку JP1 прибора ЗЕП8 и закройте корпус прибора (подробнее см. руководство по "
    "эксплуатации прибора).";
constexpr std::string_view kJumperOffCaption = "Возврат в рабочее состояние";

// Wrong tries before the dialog gives up on the operator.
constexpr int kWrongCodeLimit = 4;

// Lives as long as the program: re-opening the dialog does not start the
// count afresh.
std::atomic<int> wrongCodes{0};

}  // namespace

CCalibrationMode::CCalibrationMode(Device& device, CalibrationHost& host, CalibrationWait wait)
    : device_(device), host_(host), wait_(std::move(wait)) {}

int CCalibrationMode::WrongCodeCount() {
    return wrongCodes.load();
}

void CCalibrationMode::ResetWrongCodeCount() {
    wrongCodes.store(0);
}

long CCalibrationMode::ParseCode(std::string_view text) {
    std::size_t at = 0;
    while (at < text.size() && std::isspace(static_cast<unsigned char>(text[at]))) ++at;
    bool negative = false;
    if (at < text.size() && (text[at] == '+' || text[at] == '-')) negative = text[at++] == '-';
    // Stops growing long before it could overflow; no code is that long.
    constexpr long kCeiling = 1'000'000'000L;
    long number = 0;
    for (; at < text.size() && text[at] >= '0' && text[at] <= '9'; ++at) {
        number = std::min(kCeiling, number * 10 + (text[at] - '0'));
    }
    return negative ? -number : number;
}

void CCalibrationMode::Open(CalibrationModeView& view) {
    view_ = &view;
    result_ = DialogResult::Open;
    type_ = 0;
    codeText_ = std::to_string(kCodeMin);
    ApplyType();
}

std::vector<std::string_view> CCalibrationMode::typeEntries() const {
    std::vector<std::string_view> entries;
    for (int t = 0; t < kCalibrationTypeCount; ++t)
        entries.push_back(GetCalibrationType(t).listText);
    return entries;
}

std::string_view CCalibrationMode::description() const {
    return GetCalibrationType(type_).description;
}

bool CCalibrationMode::sensorListShown() const {
    return !GetCalibrationType(type_).sensors.empty();
}

bool CCalibrationMode::inputListShown() const {
    return GetCalibrationType(type_).inputList;
}

void CCalibrationMode::SelectType(int type) {
    if (result_ != DialogResult::Open || type < 0 || type >= kCalibrationTypeCount) return;
    type_ = type;
    ApplyType();
}

void CCalibrationMode::SelectSensor(int entry) {
    if (result_ != DialogResult::Open) return;
    sensorSelection_ = entry >= 0 && entry < static_cast<int>(sensorEntries_.size()) ? entry : -1;
}

void CCalibrationMode::SelectInput(int entry) {
    if (result_ != DialogResult::Open) return;
    inputSelection_ = entry >= 0 && entry < kCalibrationInputs ? entry : -1;
    if (inputListShown() && FillSensorList()) Refresh();
}

void CCalibrationMode::ApplyType() {
    if (sensorListShown() && !FillSensorList()) return;
    Refresh();
}

bool CCalibrationMode::FillSensorList() {
    const int input = inputListShown() && inputSelection_ >= 0 ? inputSelection_ : 0;
    std::optional<int> code;
    for (;;) {
        std::string failure;
        code = ReadSensorCode(input, failure);
        if (code) break;
        const Answer answer = device_.prompter().ask(failure + std::string(kRetrySuffix),
                                                     kNoLinkCaption, Buttons::YesNo, Icon::None);
        if (answer != Answer::Yes) {
            Close(DialogResult::Cancel);
            return false;
        }
    }
    const auto sensors = GetCalibrationType(type_).sensors;
    sensorEntries_.clear();
    sensorSelection_ = -1;
    for (std::size_t i = 0; i < sensors.size(); ++i) {
        sensorEntries_.emplace_back(sensors[i].text);
        if (sensorSelection_ < 0 && sensors[i].code == *code)
            sensorSelection_ = static_cast<int>(i);
    }
    if (inputListShown()) {
        inputEntries_.clear();
        for (int i = 0; i < kCalibrationInputs; ++i) inputEntries_.push_back(InputEntryText(i));
        inputSelection_ = input;
    }
    return true;
}

Parameter* CCalibrationMode::SensorParameter(int input) const {
    return device_.channelsNode.channel(input).FindParameter("in-t");
}

void CCalibrationMode::StoreRead(int input, std::uint64_t epoch, const Parameter& read) {
    // The window's events ran during the exchange: the port may have reopened
    // for another module, a file been opened or the groups rebuilt, which
    // moves the epoch on. What was read then belongs to none of them; the
    // parameter is looked up anew, the one the exchange began with may be gone.
    if (device_.epoch() != epoch) return;
    if (Parameter* parameter = SensorParameter(input)) *parameter = read;
}

std::optional<int> CCalibrationMode::ReadSensorCode(int input, std::string& failure) {
    Parameter* parameter = SensorParameter(input);
    if (!parameter) {
        failure = std::string(kStrangeReply) + "'\n";
        return std::nullopt;
    }
    std::string value = parameter->value;
    if (value == kNoData || value.empty()) {
        // A read refused without an exchange leaves no error text and "Нет
        // данных", which the look-up below calls strange. The exchange works
        // on a copy: the configuration changes on this thread only.
        Parameter read = *parameter;
        const std::uint64_t epoch = device_.epoch();
        host_.RunExchange([&] { device_.ReadParameter(read); });
        StoreRead(input, epoch, read);
        if (!read.errorText.empty()) {
            failure = read.errorText;
            return std::nullopt;
        }
        value = read.value;
    }
    const CatalogueEntry* entry = FindCatalogueEntry("in-t");
    const auto items = entry ? entry->fixedItems : std::span<const std::string_view>{};
    const auto found = std::ranges::find(items, value);
    if (found == items.end()) {
        failure = std::string(kStrangeReply) + value + "'\n";
        return std::nullopt;
    }
    return static_cast<int>(found - items.begin());
}

bool CCalibrationMode::WriteSensorCode(int code, int input) {
    const std::array<std::uint8_t, 3> data{static_cast<std::uint8_t>(code), 0,
                                           static_cast<std::uint8_t>(input)};
    for (;;) {
        // Looked up at every try: the window's events ran during the last one.
        const Parameter* parameter = SensorParameter(input);
        if (!parameter) return false;
        std::vector<std::uint8_t> reply;
        Parameter written = *parameter;
        bool done = false;
        const std::uint64_t epoch = device_.epoch();
        host_.RunExchange([&] {
            done = device_.Exchange(false, "in-t", data, reply, written.errorText,
                                    written.addressOffset);
            // Read back, so that the configuration shows what the module took.
            if (done) done = device_.TransferParameter(DIRECTION_READ, &written) == STATUS_OK;
        });
        StoreRead(input, epoch, written);
        if (done) return true;
        const Answer answer =
            device_.prompter().ask(written.errorText + std::string(kWriteRetrySuffix),
                                   kWriteCaption, Buttons::YesNo, Icon::None);
        if (answer != Answer::Yes) {
            Close(DialogResult::Cancel);
            return false;
        }
    }
}

void CCalibrationMode::Continue() {
    if (result_ != DialogResult::Open) return;
    Prompter& prompter = device_.prompter();
    if (type_ == 0) {
        prompter.notify(kChooseType, kErrorCaption, Icon::None);
        return;
    }
    const CalibrationType& type = GetCalibrationType(type_);
    if (ParseCode(codeText_) != type.accessCode) {
        prompter.notify(kWrongCode, kErrorCaption, Icon::None);
        if ((wrongCodes.fetch_add(1) + 1) % kWrongCodeLimit == 0) {
            wrongCodes.store(0);
            Close(DialogResult::Cancel);
        }
        return;
    }
    wrongCodes.store(0);

    std::string instruction(ReferenceInstruction(R0));
    if (sensorListShown()) {
        if (sensorSelection_ < 0) return;
        if (inputListShown() && inputSelection_ < 0) return;
        const CalibrationSensor& sensor = type.sensors[static_cast<std::size_t>(sensorSelection_)];
        const int input = inputListShown() ? inputSelection_ : 0;
        if (!WriteSensorCode(sensor.code, input)) return;
        if (type_ == 1) instruction = ReferenceInstruction(sensor.reference);
    }
    Close(DialogResult::Ok);

    CCalibrationStep step(device_, host_, wait_, type_, std::move(instruction),
                          std::max(inputSelection_, 0));
    prompter.notify(kJumperOn, kJumperOnCaption, Icon::Warning);
    host_.RunStep(step);
    prompter.notify(kJumperOff, kJumperOffCaption, Icon::Warning);
}

void CCalibrationMode::Cancel() {
    if (result_ == DialogResult::Open) Close(DialogResult::Cancel);
}

void CCalibrationMode::Close(DialogResult result) {
    result_ = result;
    if (view_) view_->Close(result);
}

void CCalibrationMode::Refresh() {
    if (view_) view_->Refresh();
}

}  // namespace zep8
