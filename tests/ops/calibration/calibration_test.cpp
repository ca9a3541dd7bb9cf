#include <gtest/gtest.h>

#include <bit>
#include <chrono>
#include <deque>
#include <functional>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "link/exchange/frame_codec.h"
#include "link/serial/serial_port.h"
#include "model/name_hash.h"
#include "ops/calibration/calibration_mode.h"
#include "ops/calibration/calibration_step.h"
#include "ops/calibration/calibration_tables.h"
#include "ops/device/device.h"
#include "platform/process_state.h"
#include "platform/prompter.h"
#include "sim/simulated_line.h"
#include "sim/simulated_module.h"
#include "support/program_line.h"
#include "support/scripted_port.h"

namespace zep8 {
namespace {

using namespace std::chrono_literals;
using sim::CalibrationTask;
using sim::Fault;

// Records every message; questions take the scripted answers in turn (then
// the safe one), notices are simply acknowledged.
class AnsweringPrompter : public Prompter {
  public:
    struct Message {
        std::string text;
        std::string caption;
        Buttons buttons;
        Icon icon;
    };

    Answer ask(std::string_view text, std::string_view caption, Buttons buttons,
               Icon icon) override {
        messages.push_back({std::string(text), std::string(caption), buttons, icon});
        if (buttons == Buttons::Ok) return Answer::Ok;
        if (answers.empty()) return SafeAnswer(buttons);
        const Answer answer = answers.front();
        answers.pop_front();
        return answer;
    }
    std::optional<std::string> enterText(std::string_view, std::string_view, bool) override {
        return std::nullopt;
    }

    std::vector<std::string> captions() const {
        std::vector<std::string> all;
        for (const Message& m : messages) all.push_back(m.caption);
        return all;
    }

    std::vector<Message> messages;
    std::deque<Answer> answers;
};

// What one step dialog went through.
struct StepRun {
    int type = 0;
    int input = 0;
    std::string opening;
    std::vector<std::string> instructions;  // each new text once
    std::vector<std::string> statusLines;
    std::vector<std::string> captions;
    DialogResult result = DialogResult::Open;
};

class RecordingStepView : public CalibrationStepView {
  public:
    explicit RecordingStepView(StepRun& run) : run_(run) {}
    void ShowTexts(std::string_view instruction, std::string_view statusLine) override {
        if (run_.instructions.empty() || run_.instructions.back() != instruction) {
            run_.instructions.emplace_back(instruction);
        }
        if (run_.statusLines.empty() || run_.statusLines.back() != statusLine) {
            run_.statusLines.emplace_back(statusLine);
        }
    }
    void SetCaption(std::string_view caption) override { run_.captions.emplace_back(caption); }
    void ShowContinue(bool) override {}
    void EnableContinue(bool) override {}
    void SetWaitCursor(bool) override {}
    void Close(DialogResult result) override { run_.result = result; }

  private:
    StepRun& run_;
};

class RecordingModeView : public CalibrationModeView {
  public:
    void Refresh() override {}
    void Close(DialogResult result) override { closed = result; }
    DialogResult closed = DialogResult::Open;
};

// Plays the operator: mode dialogs follow their scripts, step dialogs get
// "Продолжить" until they close, unless `beforePress` says "Отмена".
class ScriptedHost : public CalibrationHost {
  public:
    using ModeScript = std::function<void(CCalibrationMode&)>;

    void RunMode(CCalibrationMode& mode) override {
        RecordingModeView view;
        mode.Open(view);
        ++modeRuns;
        if (!modes.empty()) {
            ModeScript script = std::move(modes.front());
            modes.pop_front();
            script(mode);
        }
        mode.Cancel();
        modeResults.push_back(mode.result());
    }

    void RunStep(CCalibrationStep& step) override {
        StepRun& run = steps.emplace_back();
        run.type = step.type();
        run.input = step.input();
        RecordingStepView view(run);
        step.Open(view);
        run.opening = step.instruction();
        for (int press = 0; step.result() == DialogResult::Open; ++press) {
            const bool go = press < 20 && step.continueShown() && step.continueEnabled() &&
                            (!beforePress || beforePress(step, press));
            if (go) {
                step.Continue();
            } else {
                step.Cancel();
            }
        }
    }

    std::deque<ModeScript> modes;
    std::function<bool(CCalibrationStep&, int)> beforePress;
    std::deque<StepRun> steps;  // a deque: nested runs must not move earlier records
    int modeRuns = 0;
    std::vector<DialogResult> modeResults;
};

// Codes of the types, as the service engineers are told them.
constexpr const char* kCodes[] = {"", "271", "582", "913", "446"};

ScriptedHost::ModeScript Choose(int type, int sensor, int input = -1) {
    return [=](CCalibrationMode& mode) {
        mode.SelectType(type);
        if (input >= 0) mode.SelectInput(input);
        if (sensor >= 0) mode.SelectSensor(sensor);
        mode.SetCodeText(kCodes[type]);
        mode.Continue();
    };
}

const std::string kJumperOn =
    "Выполните подготовительные функции, связанные с предстоящей записью коэффициентов юстировки в "
    "энергонезависимую память прибора. Если вы не выполните эти указания, процесс юстировки будет "
    "проходить обычным образом, но его результаты не будут зафиксированы.\nДля записи коэффициента "
    "юстировки в долговременную память модуля ЗЕП-8 выключите питание, откройте корпус прибора и "
    "установите перемычку на коммутаторе JP1 (подробнее см. инструкцию к прибору). ";
const std::string kJumperOff =
    "Снимите перемычку JP1 прибора ЗЕП8 и закройте корпус прибора (подробнее см. руководство по "
    "эксплуатации прибора).";
const std::string kRetryQuestion =
    "Для повтора предыдущей команды нажмите кнопку Да, или можете выйти из процесса юстировки.";
const std::string kMeasured =
    "Юстировочные коэффициенты найдены и сохранены в приборе. Сейчас программа считает найденные "
    "коэффициенты из прибора и осуществит их проверку.\nНажмите на кнопку «Продолжить»";
const std::string kPress = "Нажмите на кнопку «Продолжить»";
const std::string kTimeoutText = "Таймаут при передаче данных (нет связи)";

class CalibrationOnPty : public ::testing::Test {
  protected:
    void SetUp() override {
        processState().reset();
        CCalibrationMode::ResetWrongCodeCount();
        sim::LineSettings line;
        line.baud = 115200;
        simulated = std::make_unique<sim::SimulatedModule>(line);
        std::string error;
        ASSERT_TRUE(simulated->start(error)) << error;
        device = std::make_unique<Device>(std::make_unique<SerialPort>(), prompter);
        testing::PointProgramAt(device->programNet(), simulated->portPath(), line);
        device->Rebuild();
        ASSERT_TRUE(device->port().IsOpen()) << device->port().OpenFailureReason();
    }
    void TearDown() override {
        device.reset();
        simulated->stop();
        processState().reset();
    }

    sim::VirtualModule& module() { return simulated->module(); }
    int requests(std::string_view name) { return module().count(name).received; }
    Parameter& sensorParameter(int input) {
        return *device->channelsNode.channel(input).FindParameter("in-t");
    }
    CalibrationWait Clock() {
        return [this](std::chrono::milliseconds d) {
            waits.push_back(d);
            return !cancelAtWait || waits.size() < *cancelAtWait;
        };
    }
    // The document's "Юстировка": one mode dialog.
    void RunWizard() {
        CCalibrationMode mode(*device, host, Clock());
        host.RunMode(mode);
    }
    void SetUpTask(CalibrationTask::Setup setup) { module().setCalibration(setup); }

    std::unique_ptr<sim::SimulatedModule> simulated;
    AnsweringPrompter prompter;
    std::unique_ptr<Device> device;
    ScriptedHost host;
    std::vector<std::chrono::milliseconds> waits;
    std::optional<std::size_t> cancelAtWait;  // "Отмена" pressed during this wait (from 1)
};

// ---- The tables -------------------------------------------------------------

TEST(CalibrationTables, StatusByteIsSignedAndFlagsCountFromTheLowestBit) {
    EXPECT_EQ(CalibrationStatusText(0x00), "Процесс завершен успешно.\n");
    EXPECT_EQ(CalibrationStatusText(0x24),
              "В результате юстировки вычисляется не более 4 коэффициентов.\n");
    for (std::uint8_t unknown : {0x10, 0x23, 0x25, 0x7F, 0x80, 0xFF}) {
        EXPECT_EQ(CalibrationStatusText(unknown), "Неизвестная ошибка кода статуса.\n") << +unknown;
    }
    EXPECT_EQ(ProcessFlagText(0), "Неизвестное значение флага процесса.\n");
    EXPECT_EQ(ProcessFlagText(0xC0), "Флаг успешной записи юстировочных коэффициентов.\n");
    EXPECT_EQ(ProcessFlagText(0x80), "Флаг завершения юстировочных измерений.\n");

    EXPECT_EQ(CCalibrationMode::ParseCode("000271"), 271);
    EXPECT_EQ(CCalibrationMode::ParseCode("abc"), 0);
    EXPECT_NE(CCalibrationMode::ParseCode("99999999999999999999999271"), 271);
}

// ---- The mode dialog -------------------------------------------------------

TEST_F(CalibrationOnPty, ModeFillsListsFromTheModuleOnce) {
    module().setValue("in-t", 0, 6);   // ТХА(K)
    module().setValue("in-t", 5, 41);  // valve sensor up to 2,0 kOhm
    RecordingModeView view;
    CCalibrationMode mode(*device, host, Clock());
    mode.Open(view);
    EXPECT_EQ(mode.typeEntries().size(), 5u);
    EXPECT_EQ(mode.typeEntries()[0], "Не выбран");
    EXPECT_EQ(mode.type(), 0);
    EXPECT_FALSE(mode.sensorListShown());
    EXPECT_FALSE(mode.inputListShown());
    EXPECT_FALSE(mode.codeEnabled());
    EXPECT_EQ(mode.codeText(), "0");
    EXPECT_EQ(requests("in-t"), 0);

    mode.Continue();
    ASSERT_EQ(prompter.messages.size(), 1u);
    EXPECT_EQ(prompter.messages[0].text, "Выбертие тип юстировки для прохода в следующее меню.");
    EXPECT_EQ(prompter.messages[0].caption, "Ошибка");
    EXPECT_EQ(mode.result(), DialogResult::Open);

    mode.SelectType(1);
    EXPECT_EQ(mode.description(), "Юстировка НСХ преобразования");
    EXPECT_TRUE(mode.sensorListShown());
    EXPECT_FALSE(mode.inputListShown());
    EXPECT_TRUE(mode.codeEnabled());
    EXPECT_EQ(mode.sensorEntries().size(), 36u);
    EXPECT_EQ(mode.sensorSelection(), 3) << "Термопара TХА (К)";
    EXPECT_EQ(sensorParameter(0).value, "ТХА(K)") << "kept in the configuration";

    mode.SelectType(2);
    EXPECT_EQ(mode.sensorSelection(), 2);
    EXPECT_EQ(requests("in-t"), 1) << "the stored value serves the second fill";

    mode.SelectType(4);
    EXPECT_TRUE(mode.inputListShown());
    ASSERT_EQ(mode.inputEntries().size(), 8u);
    EXPECT_EQ(mode.inputEntries()[7], "Вход №8");
    EXPECT_EQ(mode.inputSelection(), 0);
    EXPECT_EQ(mode.sensorSelection(), -1) << "ТХА is no valve sensor";
    mode.SelectInput(5);
    EXPECT_EQ(mode.inputSelection(), 5);
    EXPECT_EQ(mode.sensorSelection(), 1);

    mode.SelectType(3);
    EXPECT_FALSE(mode.sensorListShown());
    EXPECT_FALSE(mode.inputListShown());
    EXPECT_TRUE(mode.codeEnabled());
    EXPECT_EQ(requests("in-t"), 2);
    EXPECT_EQ(prompter.messages.size(), 1u);
}

// The window's events run during the exchange; the port reopens meanwhile.
class ReopeningHost : public ScriptedHost {
  public:
    explicit ReopeningHost(Device& device) : device_(device) {}
    void RunExchange(const std::function<void()>& exchange) override {
        exchange();
        device_.ReopenPort(false);
    }

  private:
    Device& device_;
};

TEST_F(CalibrationOnPty, AReadFromBeforeAReopenIsUsedButNotStored) {
    module().setValue("in-t", 0, 6);  // ТХА(K)
    ReopeningHost reopening(*device);
    RecordingModeView view;
    CCalibrationMode mode(*device, reopening, Clock());
    mode.Open(view);
    mode.SelectType(1);
    EXPECT_EQ(mode.sensorSelection(), 3) << "the sensor the module named";
    EXPECT_EQ(sensorParameter(0).value, kNoData) << "the configuration is left as it is";
    EXPECT_TRUE(prompter.messages.empty());
}

TEST_F(CalibrationOnPty, ModeAsksAgainWhenTheSensorTypeCannotBeRead) {
    RecordingModeView view;
    CCalibrationMode mode(*device, host, Clock());
    mode.Open(view);
    module().injectFault(Fault::Silence, 4);
    prompter.answers = {Answer::Yes};
    mode.SelectType(1);
    ASSERT_EQ(prompter.messages.size(), 1u);
    EXPECT_EQ(prompter.messages[0].text, kTimeoutText + kRetryQuestion);
    EXPECT_EQ(prompter.messages[0].caption, "Нет связи с прибором");
    EXPECT_EQ(prompter.messages[0].buttons, Buttons::YesNo);
    EXPECT_EQ(mode.result(), DialogResult::Open);
    EXPECT_EQ(mode.sensorSelection(), -1) << "sensor switched off: no entry";

    // A value the enumeration does not have; No gives up.
    sensorParameter(3).value = "abc";
    mode.SelectType(4);
    mode.SelectInput(3);
    ASSERT_EQ(prompter.messages.size(), 2u);
    EXPECT_EQ(prompter.messages[1].text, "Странный ответ на \"in-t\": 'abc'\n" + kRetryQuestion);
    EXPECT_EQ(mode.result(), DialogResult::Cancel);
    EXPECT_EQ(view.closed, DialogResult::Cancel);
}

TEST_F(CalibrationOnPty, WrongCodesAreCountedOverReopenings) {
    auto wrong = [](CCalibrationMode& mode) {
        mode.SelectType(3);
        mode.SetCodeText("123");
        mode.Continue();
        mode.Continue();
    };
    host.modes = {wrong, wrong};
    RunWizard();
    EXPECT_EQ(host.modeResults.back(), DialogResult::Cancel) << "closed by the operator";
    EXPECT_EQ(CCalibrationMode::WrongCodeCount(), 2);
    RunWizard();
    EXPECT_EQ(CCalibrationMode::WrongCodeCount(), 0) << "reset at the fourth";
    ASSERT_EQ(prompter.messages.size(), 4u);
    for (const auto& m : prompter.messages) {
        EXPECT_EQ(m.text, "Неправильно введен код");
        EXPECT_EQ(m.caption, "Ошибка");
    }
    EXPECT_TRUE(host.steps.empty());

    // The fourth wrong code closed the dialog itself: a further press does nothing.
    RecordingModeView view;
    CCalibrationMode mode(*device, host, Clock());
    mode.Open(view);
    mode.SelectType(3);
    for (int i = 0; i < 3; ++i) {
        mode.SetCodeText("1");
        mode.Continue();
    }
    EXPECT_EQ(mode.result(), DialogResult::Open);
    mode.SetCodeText("0913");
    module().setCalibration({});
    host.beforePress = [](CCalibrationStep&, int) { return false; };
    mode.Continue();
    EXPECT_EQ(CCalibrationMode::WrongCodeCount(), 0) << "a right code starts afresh";
    EXPECT_EQ(mode.result(), DialogResult::Ok);
    EXPECT_EQ(host.steps.size(), 1u);
}

TEST_F(CalibrationOnPty, RightCodeWithoutSensorDoesNothing) {
    host.modes = {Choose(1, -1)};
    RunWizard();
    EXPECT_TRUE(host.steps.empty());
    EXPECT_TRUE(prompter.messages.empty());
    EXPECT_EQ(requests("CLB.I"), 0);
}

TEST_F(CalibrationOnPty, RefusedSensorWriteAsksAndGivesUp) {
    host.modes = {[this](CCalibrationMode& mode) {
        mode.SelectType(2);
        mode.SelectSensor(0);
        mode.SetCodeText(kCodes[2]);
        module().forceError("in-t", 0x33);
        prompter.answers = {Answer::Yes, Answer::No};
        mode.Continue();
        EXPECT_EQ(mode.result(), DialogResult::Cancel);
    }};
    RunWizard();
    ASSERT_EQ(prompter.messages.size(), 2u);
    EXPECT_EQ(prompter.messages[0].text,
              "Редактирование параметра запрещено атрибутами доступа" +
                  std::string("\nДля повтора предыдущей команды нажмите кнопку Да, или можете "
                              "выйти из процесса юстирвки."));
    EXPECT_EQ(prompter.messages[0].caption, "Ошибка обмена с прибором (запись)");
    EXPECT_EQ(requests("in-t"), 1 + 2) << "the fill's read, then a write per try";
    EXPECT_TRUE(host.steps.empty());
}

// ---- Whole runs ------------------------------------------------------------

TEST_F(CalibrationOnPty, TypeOneRunsToTheEnd) {
    CalibrationTask::Setup setup;
    setup.pollsNeeded = 3;
    SetUpTask(setup);
    host.modes = {Choose(1, 3)};  // Термопара TХА (К): code 6, reference R3
    RunWizard();

    EXPECT_EQ(module().value("in-t", 0), 6);
    EXPECT_EQ(sensorParameter(0).value, "ТХА(K)") << "read back after the write";
    ASSERT_EQ(host.steps.size(), 1u);
    const StepRun& run = host.steps[0];
    EXPECT_EQ(run.result, DialogResult::Ok);
    EXPECT_EQ(
        run.instructions,
        (std::vector<std::string>{
            "Для юстировки НСХ преобразования ТХК (L), ТХА (К), ТНН (N), ТЖК (J), а также шкалы "
            "минус 50,0…+ 50,0 мВ подключите к контактам «Вход 1» источник образцового напряжения "
            "(например, потенциометр постоянного тока ПП-63 с классом точности не хуже 0,05) и "
            "установите на нем значение 40,30 мВ. Нажмите на кнопку «Продолжить»",
            "Проводится юстировка Тип 1 ", kMeasured,
            "Значение коэффициента:  1.001200\n\nЮстировка прошла успешно\n\n" + kPress,
            "Юстировка НСХ преобразования успешно завершена. "}));
    EXPECT_EQ(run.statusLines,
              (std::vector<std::string>{
                  "Добро пожаловать в утилиту юстировки!", "Старт процесса юстировки (CLB.I)",
                  "Старт процесса юстировки (CLB.S)", "CLB.S: Флаг процесса=0x01. Ждем 2 секунд...",
                  "CLB.S: Флаг процесса=0x01. Ждем 3 секунд...",
                  "CLB.S: Флаг процесса=0x80. Ждем 4 секунд...", "Измерения завершены...",
                  "Прием измеренных коэф-тов с прибора...", "Проверте коэффициент(ы)...",
                  "Завершение юстировки"}));
    EXPECT_EQ(run.captions,
              (std::vector<std::string>{"Продолжение юстировки", "Завершение юстировки"}));
    EXPECT_EQ(waits,
              (std::vector<std::chrono::milliseconds>{1000ms, 1000ms, 1000ms, 1000ms, 500ms}));

    EXPECT_EQ(requests("CLB.I"), 1);
    EXPECT_EQ(requests("CLB.S"), 3);
    EXPECT_EQ(requests("CLB.T"), 1);
    EXPECT_EQ(requests("CLB.G"), 1);
    EXPECT_EQ(requests("CLB.P"), 1);
    EXPECT_EQ(requests("CLB.A"), 1);
    EXPECT_EQ(module().calibration().commits(), 1);
    EXPECT_EQ(module().calibration().type(), 1);
    EXPECT_FALSE(module().calibration().running());

    ASSERT_EQ(prompter.messages.size(), 2u);
    EXPECT_EQ(prompter.messages[0].text, kJumperOn);
    EXPECT_EQ(prompter.messages[0].caption, "Выполните подготовительные дйствия");
    EXPECT_EQ(prompter.messages[0].icon, Icon::Warning);
    EXPECT_EQ(prompter.messages[1].text, kJumperOff);
    EXPECT_EQ(prompter.messages[1].caption, "Возврат в рабочее состояние");
    EXPECT_EQ(prompter.messages[1].icon, Icon::Warning);
}

TEST_F(CalibrationOnPty, TypesTwoAndThreeReportTheirCoefficients) {
    SetUpTask({});
    host.modes = {Choose(2, 0), Choose(3, -1)};  // Термопара TХК (L)
    RunWizard();
    RunWizard();
    ASSERT_EQ(host.steps.size(), 2u);
    EXPECT_EQ(module().value("in-t", 0), 5);
    const StepRun& two = host.steps[0];
    EXPECT_EQ(two.opening,
              "Для проведения юстировки характеристики датчика температуры свободных концов "
              "термопар подключите к контактам «Вход 1» термопару выбранного типа. Рабочий спай "
              "термопары опустите в сосуд с льдо-водяной смесью (температура 0,0°С). После "
              "установления термостатического режима (примерно 20 мин.) подтвердите готовность к "
              "выполнению операции нажав на кнопку «Продолжить»");
    ASSERT_EQ(two.instructions.size(), 5u);
    EXPECT_EQ(two.instructions[1], "Проводится юстировка Тип 2 ");
    EXPECT_EQ(two.instructions[3],
              "Значение первого коэффициента:  1.001200 \n Значение второго коэффициента:  "
              "-0.004300\n\nЮстировка прошла успешно\n\n" +
                  kPress);
    EXPECT_EQ(two.instructions[4], "Юстировка НСХ преобразования успешно завершена. ");

    const StepRun& three = host.steps[1];
    EXPECT_EQ(three.opening,
              "Для подготовки прибора к комплексной юстировке подключите к контактам «Вход 1» и "
              "«Вход 2» калибратор. Нажмите на кнопку «Продолжить»");
    ASSERT_EQ(three.instructions.size(), 5u);
    EXPECT_EQ(three.instructions[3],
              "Значение первого коэффициента:\n  K1= 1.001200\n\nЗначение второго "
              "коэффициента:\n  K2= -0.004300\n\nЗначение третьего коэффициента:\n  K3= "
              "0.998700\n\nЗначение четвертого коэффициента:\n  K4= 0.002100\n\nЮстировка "
              "прошла успешно\n\n" +
                  kPress);
    EXPECT_EQ(three.instructions[4], "Комплексная юстировка НСХ преобразования завершена. ");
    EXPECT_EQ(three.result, DialogResult::Ok);
    EXPECT_EQ(module().calibration().commits(), 2);
    EXPECT_EQ(requests("CLB.P"), 2);
    EXPECT_EQ(requests("CLB.G"), 2 + 4);
    EXPECT_EQ(prompter.captions(),
              (std::vector<std::string>{
                  "Выполните подготовительные дйствия", "Возврат в рабочее состояние",
                  "Выполните подготовительные дйствия", "Возврат в рабочее состояние"}));
}

TEST_F(CalibrationOnPty, TypeFourCalibratesBothValvePositions) {
    SetUpTask({});
    module().setValue("in-t", 5, 26);
    std::vector<std::pair<int, bool>> starts;  // input and valve of each started task
    host.beforePress = [&](CCalibrationStep& step, int) {
        if (step.step() == CCalibrationStep::STEP_VERIFY) {
            starts.emplace_back(module().calibration().input(), module().calibration().valveOpen());
        }
        return true;
    };
    host.modes = {Choose(4, 1, 5), [](CCalibrationMode& mode) { mode.Cancel(); }};
    prompter.answers = {Answer::No};  // "Выйти из юстировки?": no, another input
    RunWizard();

    EXPECT_EQ(module().value("in-t", 5), 41);
    ASSERT_EQ(host.steps.size(), 1u);
    const StepRun& run = host.steps[0];
    EXPECT_EQ(run.input, 5);
    const std::string report =
        "Значение коэффициента:  1.001200 \nНажмите на кнопку «Продолжить»\n";
    EXPECT_EQ(
        run.instructions,
        (std::vector<std::string>{
            "Установите запорно-регулирующий клапан (задвижку) в положение ЗАКРЫТО и подтвердите "
            "готовность к проведению юстировки датчика в этом состоянии нажав на кнопку "
            "«Продолжить»",
            "Проводится юстировка датчика положения в закрытом положении", kMeasured, report,
            "Теперь установите запорно-регулирующий клапан (задвижку) в положение ОТКРЫТО и "
            "подтвердите готовность к проведению юстировки датчика в этом состоянии нажав на "
            "кнопку «Продолжить»",
            "Проводится юстировка датчика положения в открытом положении", kMeasured, report,
            "Аналогичным образом произведите юстировку датчиков положения, подключенных к другим "
            "каналам (если такие имеются). "}));
    EXPECT_EQ(run.captions, (std::vector<std::string>{"Продолжение юстировки"}))
        << "type 4 keeps its caption";
    EXPECT_EQ(starts, (std::vector<std::pair<int, bool>>{{5, false}, {5, true}}));
    EXPECT_EQ(requests("CLB.P"), 2);
    EXPECT_EQ(requests("CLB.A"), 2);
    EXPECT_EQ(module().calibration().commits(), 2);

    EXPECT_EQ(host.modeRuns, 2) << "No opened the mode dialog again";
    EXPECT_EQ(prompter.captions(),
              (std::vector<std::string>{"Выполните подготовительные дйствия", "Сообщение",
                                        "Возврат в рабочее состояние"}));
    EXPECT_EQ(prompter.messages[1].text, "Выйти из юстировки?\n(нет - повторить с новым каналом)");
}

TEST_F(CalibrationOnPty, FaultyCoefficientOffersARepeat) {
    CalibrationTask::Setup setup;
    setup.faultyCoefficient = 2;
    setup.coefficients[1] = 2.5f;
    SetUpTask(setup);
    host.modes = {Choose(2, 0)};
    // Yes to the repeat; the repeated dialog is cancelled at once.
    prompter.answers = {Answer::Yes};
    host.beforePress = [this](CCalibrationStep&, int) { return host.steps.size() == 1; };
    RunWizard();

    ASSERT_EQ(host.steps.size(), 2u);
    const StepRun& run = host.steps[0];
    EXPECT_EQ(run.instructions.back(),
              "Значение ошибочного коэффициента:  2.500000 \n\nНажмите на кнопку "
              "«Продолжить»\n\n" +
                  std::string("Коэффициент юстировки не соответствует заданным требованиям. ") +
                  "Возможные причны:\n  1) Подключенная термопара не соответствует заданному типу "
                  "датчика;\n  2) Температура воздуха окружающего модуль (прибор) не соответствует "
                  "условиям юстировки (15..30C)\n");
    EXPECT_EQ(run.result, DialogResult::Ok);
    EXPECT_EQ(requests("CLB.P"), 0) << "nothing committed";
    EXPECT_EQ(requests("CLB.G"), 1);
    EXPECT_EQ(host.steps[1].type, 2);
    EXPECT_EQ(host.steps[1].opening,
              "Для проведения юстировки характеристики датчика температуры свободных концов "
              "термопар подключите к контактам «Вход 1» термопару выбранного типа. Рабочий спай "
              "термопары опустите в сосуд с льдо-водяной смесью (температура 0,0°С). После "
              "установления термостатического режима (примерно 20 мин.) подтвердите готовность к "
              "выполнению операции нажав на кнопку «Продолжить»");
    EXPECT_EQ(host.steps[1].result, DialogResult::Cancel);
    EXPECT_EQ(requests("CLB.A"), 2);

    ASSERT_EQ(prompter.messages.size(), 3u);
    EXPECT_EQ(prompter.messages[1].text,
              "Попытка юстировки закончилась неудачно; повторить юстировку?");
    EXPECT_EQ(prompter.messages[1].caption, "Вопрос о повторе калибкровки");
    EXPECT_EQ(prompter.messages[1].icon, Icon::Question);
    EXPECT_EQ(prompter.messages[2].text, kJumperOff);
}

TEST_F(CalibrationOnPty, FaultyCoefficientOfOtherTypesNamesTheSignal) {
    CalibrationTask::Setup setup;
    setup.faultyCoefficient = 1;
    SetUpTask(setup);
    host.modes = {Choose(3, -1)};
    RunWizard();
    ASSERT_EQ(host.steps.size(), 1u);
    EXPECT_EQ(
        host.steps[0].instructions.back(),
        "Значение ошибочного коэффициента:  1.001200 \n\n" + kPress + "\n\n" +
            "Коэффициент юстировки не соответствует заданным требованиям. " +
            "Проверьте величину сигнала на контактах.Вход 1, а также правильность подключения "
            "источника сигналов. После устранения замечаний юстировку повторите.");
    EXPECT_EQ(host.steps[0].statusLines.back(), "Прием измеренных коэф-тов с прибора...");
}

TEST_F(CalibrationOnPty, TaskThatNeverEndsIsPolledTwelveTimes) {
    CalibrationTask::Setup setup;
    setup.pollsNeeded = 1000;
    SetUpTask(setup);
    host.modes = {Choose(3, -1)};
    RunWizard();

    EXPECT_EQ(requests("CLB.S"), 12);
    EXPECT_EQ(waits.size(), 13u);
    ASSERT_EQ(host.steps.size(), 1u);
    const StepRun& run = host.steps[0];
    EXPECT_EQ(run.instructions.back(), "Процесс поиска измерения юстировки завершен неудачно: " +
                                           std::string("CLB.S: ошибка: таймаут"))
        << "a time-out is no success, whatever the last status";
    EXPECT_EQ(run.statusLines[run.statusLines.size() - 2],
              "CLB.S: Флаг процесса=0x01. Ждем 12 секунд...");
    EXPECT_EQ(run.statusLines.back(), "Ошибка");
    EXPECT_EQ(run.result, DialogResult::Cancel) << "only Отмена is left";
    EXPECT_EQ(requests("CLB.T"), 0);
    EXPECT_EQ(requests("CLB.A"), 1);
}

TEST_F(CalibrationOnPty, CancelDuringAWaitEndsTheTaskAtOnce) {
    CalibrationTask::Setup setup;
    setup.pollsNeeded = 1000;
    SetUpTask(setup);
    host.modes = {Choose(3, -1)};
    cancelAtWait = 4;  // before the third poll
    RunWizard();
    EXPECT_EQ(waits.size(), 4u);
    EXPECT_EQ(requests("CLB.S"), 2);
    EXPECT_EQ(requests("CLB.A"), 1);
    EXPECT_FALSE(module().calibration().running());
    ASSERT_EQ(host.steps.size(), 1u);
    EXPECT_EQ(host.steps[0].result, DialogResult::Cancel);
    EXPECT_EQ(prompter.captions().back(), "Возврат в рабочее состояние");
}

TEST_F(CalibrationOnPty, ModuleErrorsEndTheStartStep) {
    CalibrationTask::Setup setup;
    setup.endStatus = 0x07;
    SetUpTask(setup);
    host.modes = {Choose(1, 0), Choose(1, 0)};
    RunWizard();
    ASSERT_EQ(host.steps.size(), 1u);
    EXPECT_EQ(host.steps[0].instructions.back(),
              "Процесс поиска измерения юстировки завершен неудачно: " +
                  std::string("Обрыв датчика при юстировке.\n"));
    EXPECT_EQ(requests("CLB.S"), 1);

    // The module refuses a sensor that does not fit the type.
    module().setCalibration({});
    module().setValue("in-t", 0, 0);
    host.beforePress = [this](CCalibrationStep& step, int press) {
        if (press == 0) module().setValue("in-t", 0, 0);
        (void)step;
        return true;
    };
    RunWizard();
    ASSERT_EQ(host.steps.size(), 2u);
    EXPECT_EQ(host.steps[1].instructions.back(),
              "Процесс поиска измерения юстировки завершен неудачно: " +
                  std::string("Ошибка несоответствия типа юстировки и типа датчика в EEPROM.\n"));
    EXPECT_EQ(prompter.captions().back(), "Возврат в рабочее состояние")
        << "the jumper warning after a failure too";
}

TEST_F(CalibrationOnPty, FourRefusedCommitsAskForANewCalibration) {
    CalibrationTask::Setup setup;
    setup.commitRefusals = 4;
    SetUpTask(setup);
    host.modes = {Choose(1, 8)};
    prompter.answers = {Answer::Yes};
    RunWizard();

    EXPECT_EQ(requests("CLB.P"), 4);
    EXPECT_EQ(requests("CLB.A"), 1);
    EXPECT_EQ(module().calibration().commits(), 0);
    ASSERT_EQ(host.steps.size(), 1u);
    EXPECT_EQ(host.steps[0].result, DialogResult::Cancel);
    EXPECT_EQ(host.modeRuns, 2) << "Yes opened the mode dialog again";
    ASSERT_EQ(prompter.messages.size(), 3u);
    EXPECT_EQ(prompter.messages[1].text,
              std::string("Возникла ошибка при записи результатов юстировки в EEPROM.\n") +
                  "Для повтора юстировки нажмите кнопку Да");
    EXPECT_EQ(prompter.messages[1].caption, "Ошибка юстировки");
    EXPECT_EQ(prompter.messages[1].buttons, Buttons::YesNo);
}

TEST_F(CalibrationOnPty, ThreeRefusalsAreRetriedQuietly) {
    CalibrationTask::Setup setup;
    setup.commitRefusals = 3;
    SetUpTask(setup);
    host.modes = {Choose(1, 8)};
    RunWizard();
    EXPECT_EQ(requests("CLB.P"), 4);
    EXPECT_EQ(module().calibration().commits(), 1);
    ASSERT_EQ(host.steps.size(), 1u);
    EXPECT_EQ(host.steps[0].result, DialogResult::Ok);
    EXPECT_EQ(prompter.messages.size(), 2u) << "the jumper warnings only";
}

TEST_F(CalibrationOnPty, CommitWaitsLongerForTheModule) {
    SetUpTask({});
    host.modes = {Choose(3, -1)};
    host.beforePress = [this](CCalibrationStep& step, int) {
        // Longer than the reply time-out at this speed.
        if (step.step() == CCalibrationStep::STEP_COMMIT) module().injectDelay(200ms);
        return true;
    };
    RunWizard();
    EXPECT_EQ(requests("CLB.P"), 1) << "answered within the longer wait";
    EXPECT_EQ(module().calibration().commits(), 1);
    EXPECT_EQ(device->port().readTotalConstant.load(), 50);
}

TEST_F(CalibrationOnPty, LostLinkAsksBeforeRepeating) {
    SetUpTask({});
    host.modes = {Choose(3, -1), Choose(3, -1)};
    host.beforePress = [this](CCalibrationStep&, int press) {
        if (press == 0) module().injectFault(Fault::Silence, 4);
        return true;
    };
    prompter.answers = {Answer::Yes};
    RunWizard();
    ASSERT_EQ(host.steps.size(), 1u);
    EXPECT_EQ(host.steps[0].result, DialogResult::Ok);
    EXPECT_EQ(requests("CLB.I"), 4 + 1) << "four unanswered, then once more";
    ASSERT_EQ(prompter.messages.size(), 4u);
    EXPECT_EQ(prompter.messages[1].text, kTimeoutText);
    EXPECT_EQ(prompter.messages[1].caption, "Ошибка " + std::string("(Запуск процессa юстировки)"));
    EXPECT_EQ(prompter.messages[2].text, kRetryQuestion);
    EXPECT_EQ(prompter.messages[2].caption, "Ошибка юстировки");

    // No: the dialog closes without ending the task.
    prompter.messages.clear();
    host.beforePress = [this](CCalibrationStep& step, int) {
        if (step.step() == CCalibrationStep::STEP_VERIFY) module().injectFault(Fault::Silence, 4);
        return true;
    };
    const int ends = requests("CLB.A");
    RunWizard();
    ASSERT_EQ(host.steps.size(), 2u);
    EXPECT_EQ(host.steps[1].result, DialogResult::Cancel);
    EXPECT_EQ(requests("CLB.A"), ends);
    EXPECT_EQ(prompter.captions(),
              (std::vector<std::string>{"Выполните подготовительные дйствия",
                                        "Ошибка " + std::string("(поиск ошибочных коэффициентов)"),
                                        "Ошибка юстировки", "Возврат в рабочее состояние"}));
}

// ---- Replies the virtual module never gives ---------------------------------

// A module of canned replies: each command takes its next one; when none is
// left the module keeps silent.
class CalibrationScripted : public ::testing::Test {
  protected:
    void SetUp() override {
        processState().reset();
        auto port = std::make_unique<testing::ScriptedPort>();
        port_ = port.get();
        port_->responder = [this](const std::string& frame) -> testing::ScriptedPort::Outcome {
            const ReplyFrame request = ParseReplyText(frame);
            if (request.hash == hash_name("CLB.P")) {
                commitConstants.push_back(port_->readTotalConstant.load());
            } else {
                otherConstants.push_back(port_->readTotalConstant.load());
            }
            auto& queue = replies[request.hash];
            if (queue.empty()) return {TRANSFER_TIMEOUT, ""};
            const std::vector<std::uint8_t> data = queue.front();
            queue.pop_front();
            return {TRANSFER_OK, testing::ScriptedPort::Reply(request.hash, data)};
        };
        device = std::make_unique<Device>(std::move(port), prompter);
    }
    void TearDown() override {
        device.reset();
        processState().reset();
    }

    void Reply(std::string_view name, std::vector<std::uint8_t> data) {
        replies[hash_name(name)].push_back(std::move(data));
    }
    int Sent(std::string_view name) const {
        int n = 0;
        for (const ReplyFrame& f : port_->Requests()) n += f.hash == hash_name(name) ? 1 : 0;
        return n;
    }
    // A measurement that ends at the first poll.
    void Measured() {
        Reply("CLB.I", {0x01, 0x00});
        Reply("CLB.S", {0x80, 0x00});
    }
    static std::vector<std::uint8_t> CoefficientReply(std::uint8_t number, float value) {
        const auto bits = std::bit_cast<std::uint32_t>(value);
        return {number, static_cast<std::uint8_t>(bits >> 24),
                static_cast<std::uint8_t>(bits >> 16), static_cast<std::uint8_t>(bits >> 8),
                static_cast<std::uint8_t>(bits)};
    }
    // Opens a step dialog of `type` and presses "Продолжить" `presses` times.
    CCalibrationStep& Step(int type, int presses) {
        step = std::make_unique<CCalibrationStep>(
            *device, host, [](std::chrono::milliseconds) { return true; }, type, "R", 0);
        view = std::make_unique<RecordingStepView>(run);
        step->Open(*view);
        for (int i = 0; i < presses; ++i) step->Continue();
        return *step;
    }

    testing::ScriptedPort* port_ = nullptr;
    AnsweringPrompter prompter;
    std::unique_ptr<Device> device;
    ScriptedHost host;
    std::map<std::uint16_t, std::deque<std::vector<std::uint8_t>>> replies;
    std::vector<int> commitConstants;
    std::vector<int> otherConstants;
    StepRun run;
    std::unique_ptr<RecordingStepView> view;
    std::unique_ptr<CCalibrationStep> step;
};

TEST_F(CalibrationScripted, SilenceWhilePollingIsNoSuccess) {
    Reply("CLB.I", {0x01, 0x00});
    CCalibrationStep& s = Step(1, 1);
    EXPECT_EQ(Sent("CLB.S"), 12 * 4) << "four tries per poll";
    EXPECT_EQ(s.instruction(), "Процесс поиска измерения юстировки завершен неудачно: " +
                                   std::string("CLB.S: ошибка: таймаут"));
    EXPECT_TRUE(s.continueShown());
    EXPECT_FALSE(s.continueEnabled());
    EXPECT_EQ(run.statusLines[run.statusLines.size() - 2],
              "CLB.S: Флаг процесса=0x00. Ждем 12 секунд...");
    EXPECT_TRUE(prompter.messages.empty()) << "polling asks nothing";
}

TEST_F(CalibrationScripted, RefusedCheckWithoutFaultyCoefficientStillReportsThem) {
    Measured();
    Reply("CLB.T", {0x00, 0x80, 0x20});
    Reply("CLB.G", CoefficientReply(1, 1.5f));
    CCalibrationStep& s = Step(1, 2);
    // The undetermined check is shown, then the report of what the module holds.
    ASSERT_GE(run.instructions.size(), 2u);
    EXPECT_EQ(run.instructions[run.instructions.size() - 2],
              "Номер и значение ошибочного коэф-та неопределены.");
    EXPECT_EQ(s.instruction().rfind("Значение коэффициента:", 0), 0u) << s.instruction();
    EXPECT_NE(s.instruction().find("1.500000"), std::string::npos) << s.instruction();
    EXPECT_EQ(Sent("CLB.G"), 1);
    EXPECT_EQ(s.step(), CCalibrationStep::STEP_COMMIT);
}

TEST_F(CalibrationScripted, MissingCoefficientsFailTheCheck) {
    // A reply of a size that is neither 2 nor 5.
    Measured();
    Reply("CLB.T", {0x00, 0x80, 0x00});
    Reply("CLB.G", {0x01, 0x02, 0x03});
    EXPECT_EQ(Step(1, 2).instruction(),
              "Процесс поиска измерения юстировки завершен неудачно: " +
                  std::string("Размер квитанции на команду CLB.G не равер ни 2 ни 5!"));
    EXPECT_EQ(step->step(), CCalibrationStep::STEP_FAILED);

    // The second coefficient of type 2 not delivered.
    Measured();
    Reply("CLB.T", {0x00, 0x80, 0x00});
    Reply("CLB.G", CoefficientReply(1, 1.5f));
    Reply("CLB.G", {0x80, 0x00});
    EXPECT_EQ(Step(2, 2).instruction(), "Процесс поиска измерения юстировки завершен неудачно: " +
                                            std::string("Не готовы юстировочные коэффициенты.\n"));
    EXPECT_FALSE(step->coefficient().present);

    // A faulty coefficient that is not delivered either.
    Measured();
    Reply("CLB.T", {0x03, 0x80, 0x00});
    Reply("CLB.G", {0x80, 0x21});
    EXPECT_EQ(Step(1, 2).instruction(),
              "Процесс поиска измерения юстировки завершен неудачно: " +
                  std::string("В результате юстировки вычисляется не более 1 коэффициента.\n"));
    EXPECT_EQ(Sent("CLB.P"), 0);
}

TEST_F(CalibrationScripted, CommitWaitsLongerAndAsksWhenUnanswered) {
    Measured();
    Reply("CLB.T", {0x00, 0x80, 0x00});
    Reply("CLB.G", CoefficientReply(1, 0.5f));
    CCalibrationStep& t = Step(1, 3);  // start, check, commit: unanswered
    EXPECT_EQ(Sent("CLB.P"), 4);
    ASSERT_EQ(prompter.messages.size(), 2u);
    EXPECT_EQ(prompter.messages[0].text, kTimeoutText);
    EXPECT_EQ(prompter.messages[0].caption, "Ошибка " + std::string("(запись коэф-та)"));
    EXPECT_EQ(prompter.messages[1].text, kRetryQuestion);
    EXPECT_EQ(prompter.messages[1].caption, "Ошибка юстировки (WriteCalibration)");
    EXPECT_EQ(t.result(), DialogResult::Cancel) << "No ends the task and closes";
    EXPECT_EQ(Sent("CLB.A"), 4) << "the end of the task is sent, though unanswered";
    EXPECT_EQ(commitConstants, std::vector<int>(4, 300));
    for (int constant : otherConstants) EXPECT_EQ(constant, 50);
    EXPECT_EQ(device->port().readTotalConstant.load(), 50);
}

}  // namespace
}  // namespace zep8
