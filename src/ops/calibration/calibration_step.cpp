#include "ops/calibration/calibration_step.h"

#include <algorithm>
#include <array>
#include <bit>
#include <charconv>
#include <cstdio>
#include <initializer_list>
#include <system_error>

#include "ops/calibration/calibration_mode.h"
#include "ops/calibration/calibration_tables.h"
#include "ops/device/device.h"
#include "platform/prompter.h"

namespace zep8 {
namespace {

constexpr std::string_view kWelcome = "Добро пожаловать в утилиту юстировки!";
constexpr std::string_view kErrorCaptionPrefix = "Ошибка ";
constexpr std::string_view kRetryQuestion =
    "Для повтора предыдущей команды нажмите кнопку Да, или можете выйти из процесса юстировки.";
constexpr std::string_view kRetryCaption = "Ошибка юстировки";
constexpr std::string_view kSizeError = "Размер квитанции на команду CLB.G не равер ни 2 ни 5!";

constexpr std::string_view kValveClosedRun =
    "Проводится юстировка датчика положения в закрытом положении";
constexpr std::string_view kValveOpenRun =
    "Проводится юстировка датчика положения в открытом положении";
constexpr std::string_view kStartLine = "Старт процесса юстировки (CLB.I)";
constexpr std::string_view kPollLine = "Старт процесса юстировки (CLB.S)";
constexpr std::string_view kTimeout = "CLB.S: ошибка: таймаут";
constexpr std::string_view kStartContext = "(Запуск процессa юстировки)";
constexpr std::string_view kMeasureFailed =
    "Процесс поиска измерения юстировки завершен неудачно: ";
constexpr std::string_view kErrorLine = "Ошибка";
constexpr std::string_view kMeasured =
    "Юстировочные коэффициенты найдены и сохранены в приборе. Сейчас программа считает найденные "
    "коэффициенты из прибора и осуществит их проверку.\nНажмите на кнопку «Продолжить»";
constexpr std::string_view kMeasuredLine = "Измерения завершены...";

constexpr std::string_view kReceivingLine = "Прием измеренных коэф-тов с прибора...";
constexpr std::string_view kCheckContext = "(поиск ошибочных коэффициентов)";
constexpr std::string_view kFaultyContext = "(определение ошибочного знач-я)";
constexpr std::string_view kFaultyValue = "Значение ошибочного коэффициента: ";
constexpr std::string_view kFaultyPress = "\n\nНажмите на кнопку «Продолжить»";
constexpr std::string_view kRequirementsNotMet =
    "Коэффициент юстировки не соответствует заданным требованиям. ";
constexpr std::string_view kThermocoupleCauses =
    "Возможные причны:\n  1) Подключенная термопара не соответствует заданному типу датчика;\n  2) "
    "Температура воздуха окружающего модуль (прибор) не соответствует условиям юстировки "
    "(15..30C)\n";
constexpr std::string_view kSignalCauses =
    "Проверьте величину сигнала на контактах.Вход 1, а также правильность подключения источника "
    "сигналов. После устранения замечаний юстировку повторите.";
constexpr std::string_view kUndetermined = "Номер и значение ошибочного коэф-та неопределены.";
constexpr std::string_view kValue = "Значение коэффициента: ";
constexpr std::string_view kSuccess = "Юстировка прошла успешно";
constexpr std::string_view kPress = "Нажмите на кнопку «Продолжить»";
constexpr std::string_view kFirstValue = "Значение первого коэффициента: ";
constexpr std::string_view kSecondValue = "Значение второго коэффициента: ";
constexpr std::string_view kK1 = "Значение первого коэффициента:\n  K1=";
constexpr std::string_view kK2 = "\nЗначение второго коэффициента:\n  K2=";
constexpr std::string_view kK3 = "\nЗначение третьего коэффициента:\n  K3=";
constexpr std::string_view kK4 = "\nЗначение четвертого коэффициента:\n  K4=";
constexpr std::string_view kType4Press = "\nНажмите на кнопку «Продолжить»";
constexpr std::string_view kCheckLine = "Проверте коэффициент(ы)...";
// Contexts of the coefficient reads, by type.
constexpr std::string_view kReadContexts[] = {
    "", "(Тип №1. Определение значения коэф-та)", "(Тип №2. Определение значения коэф-та)",
    "(Тип №3. Определение значения коэф-та)", "Тип №4. Определение значения коэф-та"};

constexpr std::string_view kCommitCaption = "Завершение юстировки";
constexpr std::string_view kCommitContext = "(запись коэф-та)";
constexpr std::string_view kCommitRetryCaption = "Ошибка юстировки (WriteCalibration)";
constexpr std::string_view kRepeatSuffix = "Для повтора юстировки нажмите кнопку Да";
constexpr std::string_view kOpenValve =
    "Теперь установите запорно-регулирующий клапан (задвижку) в положение ОТКРЫТО и подтвердите "
    "готовность к проведению юстировки датчика в этом состоянии нажав на кнопку «Продолжить»";
constexpr std::string_view kOpenValveLine = "Продолжение с другим положении клапана (задвижки)";
constexpr std::string_view kDoneCurve = "Юстировка НСХ преобразования успешно завершена. ";
constexpr std::string_view kDoneComplex = "Комплексная юстировка НСХ преобразования завершена. ";
constexpr std::string_view kDoneValve =
    "Аналогичным образом произведите юстировку датчиков положения, подключенных к другим каналам "
    "(если такие имеются). ";
constexpr std::string_view kDoneLine = "Завершение юстировки";
constexpr std::string_view kLeaveQuestion =
    "Выйти из юстировки?\n(нет - повторить с новым каналом)";
constexpr std::string_view kLeaveCaption = "Сообщение";
constexpr std::string_view kRepeatQuestion =
    "Попытка юстировки закончилась неудачно; повторить юстировку?";
constexpr std::string_view kRepeatCaption = "Вопрос о повторе калибкровки";

constexpr std::uint8_t kMeasuredFlag = 0x80;
// Commits the module may refuse before the operator is asked.
constexpr int kCommitTries = 4;
constexpr std::uint8_t kNotReadyStatus = 0x20;
constexpr std::uint8_t kUnknownStatus = 0xFF;

// Six digits after the point, whatever locale the windows have set.
std::string Fixed(float value) {
    char buffer[64];
    const auto [end, error] = std::to_chars(
        buffer, buffer + sizeof buffer, static_cast<double>(value), std::chars_format::fixed, 6);
    return error == std::errc() ? std::string(buffer, end) : std::string("nan");
}

std::string Concat(std::initializer_list<std::string_view> parts) {
    std::string text;
    for (std::string_view part : parts) text += part;
    return text;
}

// Lengthens the port's reply wait for one command and puts it back after.
class ReadConstantScope {
  public:
    ReadConstantScope(LinePort& port, int constant)
        : port_(port), saved_(port.readTotalConstant.exchange(constant)) {}
    ~ReadConstantScope() { port_.readTotalConstant.store(saved_); }
    ReadConstantScope(const ReadConstantScope&) = delete;
    ReadConstantScope& operator=(const ReadConstantScope&) = delete;

  private:
    LinePort& port_;
    int saved_;
};

}  // namespace

float CCalibrationStep::Coefficient::value() const {
    return std::bit_cast<float>(static_cast<std::uint32_t>(bytes[0]) << 24 |
                                static_cast<std::uint32_t>(bytes[1]) << 16 |
                                static_cast<std::uint32_t>(bytes[2]) << 8 | bytes[3]);
}

CCalibrationStep::CCalibrationStep(Device& device, CalibrationHost& host, CalibrationWait wait,
                                   int type, std::string instruction, int input)
    : device_(device),
      host_(host),
      wait_(std::move(wait)),
      instructionCopy_(std::move(instruction)),
      type_(type),
      input_(input) {}

void CCalibrationStep::Open(CalibrationStepView& view) {
    view_ = &view;
    result_ = DialogResult::Open;
    step_ = STEP_START;
    valve_ = VALVE_CLOSED;
    const std::string_view own = TypeInstruction(type_);
    instruction_ = own.empty() ? instructionCopy_ : std::string(own);
    statusLine_ = kWelcome;
    caption_ = kCaption;
    view.SetCaption(caption_);
    SetContinue(true, true);
    Refresh();
}

void CCalibrationStep::Continue() {
    if (result_ != DialogResult::Open || !continueShown_ || !continueEnabled_) return;
    switch (step_) {
        case STEP_START:
            Start();
            break;
        case STEP_VERIFY:
            Verify();
            break;
        case STEP_COMMIT:
            Commit();
            break;
        case STEP_FINISH:
            Finish();
            break;
        case STEP_FAILED:
            Failed();
            break;
        default:
            break;
    }
}

void CCalibrationStep::Cancel() {
    if (result_ != DialogResult::Open) return;
    EndTask();
    Close(DialogResult::Cancel);
}

void CCalibrationStep::Start() {
    if (type_ == 4) {
        instruction_ = valve_ == VALVE_CLOSED ? kValveClosedRun : kValveOpenRun;
    } else {
        char buffer[128];
        std::snprintf(buffer, sizeof buffer, "Проводится юстировка Тип %1i ", type_);
        instruction_ = buffer;
    }
    statusLine_ = kStartLine;
    Refresh();
    SetContinue(false, continueEnabled_);

    const std::vector<std::uint8_t> data = StartData();
    for (;;) {
        WaitCursor(true);
        const bool sent = Send(false, "CLB.I", data);
        Decode(0);
        WaitCursor(false);
        if (sent) break;
        ShowExchangeError(kStartContext);
        if (!AskRetry(kRetryCaption)) {
            Close(DialogResult::Cancel);
            return;
        }
    }
    if (!Poll()) return;

    if (errorFlag_) {
        instruction_ = Concat({kMeasureFailed, statusText_});
        SetContinue(true, false);
        statusLine_ = kErrorLine;
    } else {
        instruction_ = kMeasured;
        SetContinue(true, true);
        statusLine_ = kMeasuredLine;
    }
    Refresh();
    step_ = STEP_VERIFY;
}

bool CCalibrationStep::Poll() {
    statusLine_ = kPollLine;
    Refresh();
    WaitCursor(true);
    if (!Wait(std::chrono::milliseconds(1000))) return false;
    bool timedOut = false;
    for (int poll = 1;; ++poll) {
        if (!Wait(std::chrono::milliseconds(1000))) return false;
        const bool answered = Send(true, "CLB.S");
        if (poll == kMaxPolls) {
            statusLine_ = kTimeout;
            errorText_ = kTimeout;
            timedOut = true;
            break;
        }
        const std::uint8_t flag = answered && !reply_.empty() ? reply_[0] : 0;
        char buffer[128];
        std::snprintf(buffer, sizeof buffer, "CLB.S: Флаг процесса=0x%02X. Ждем %i секунд...",
                      static_cast<unsigned>(flag), poll + 1);
        statusLine_ = buffer;
        Refresh();
        if ((flag & kMeasuredFlag) != 0) break;
    }
    Decode(0);
    // A task that never finished measuring has found nothing worth keeping,
    // whatever its last status said.
    if (timedOut && !errorFlag_) {
        errorFlag_ = true;
        statusText_ = kTimeout;
    }
    WaitCursor(false);
    return true;
}

void CCalibrationStep::Verify() {
    statusLine_ = kReceivingLine;
    Refresh();
    if (!Wait(std::chrono::milliseconds(500))) return;
    instruction_.clear();

    if (!SendRetried(true, "CLB.T", {}, kCheckContext)) return;
    const std::uint8_t faulty = reply_.empty() ? 0 : reply_[0];
    Decode(1);

    if (faulty != 0) {
        if (!ReadCoefficient(faulty, kFaultyContext)) return;
        if (!coefficient_.present) {
            FailVerify(Concat({kMeasureFailed, statusText_}));
            return;
        }
        instruction_ =
            Concat({kFaultyValue, " ", Fixed(coefficient_.value()), " ", kFaultyPress, "\n\n",
                    kRequirementsNotMet, type_ == 2 ? kThermocoupleCauses : kSignalCauses});
        Refresh();
        step_ = STEP_FAILED;
        return;
    }
    // The check's status says something went wrong without naming a
    // coefficient: the operator sees so, and then the coefficients the module
    // holds, which he may still commit or not.
    if (errorFlag_) {
        instruction_ = std::string(kUndetermined);
        Refresh();
    }

    const int count = type_ == 2 ? 2 : type_ == 3 ? 4 : 1;
    const std::string_view context = kReadContexts[type_ >= 1 && type_ <= 4 ? type_ : 1];
    std::array<std::string, 4> k;
    for (int n = 1; n <= count; ++n) {
        if (!ReadCoefficient(n, context)) return;
        if (!coefficient_.present) {
            FailVerify(Concat({kMeasureFailed, statusText_}));
            return;
        }
        k[static_cast<std::size_t>(n - 1)] = Fixed(coefficient_.value());
    }
    switch (type_) {
        case 2:
            instruction_ = Concat({kFirstValue, " ", k[0], " \n ", kSecondValue, " ", k[1], "\n\n",
                                   kSuccess, "\n\n", kPress});
            break;
        case 3:
            instruction_ = Concat({kK1, " ", k[0], "\n", kK2, " ", k[1], "\n", kK3, " ", k[2], "\n",
                                   kK4, " ", k[3], "\n\n", kSuccess, "\n\n", kPress});
            break;
        case 4:
            instruction_ = Concat({kValue, " ", k[0], " ", kType4Press, "\n"});
            break;
        default:
            instruction_ = Concat({kValue, " ", k[0], "\n\n", kSuccess, "\n\n", kPress});
            break;
    }
    statusLine_ = kCheckLine;
    Refresh();
    step_ = STEP_COMMIT;
}

void CCalibrationStep::FailVerify(std::string instruction) {
    instruction_ = std::move(instruction);
    statusLine_ = kErrorLine;
    Refresh();
    step_ = STEP_FAILED;
}

void CCalibrationStep::Commit() {
    if (type_ != 4) {
        caption_ = kCommitCaption;
        if (view_) view_->SetCaption(caption_);
    }
    int refusals = 0;
    for (;;) {
        errorText_.clear();
        bool sent;
        {
            ReadConstantScope slowReply(device_.port(), kCommitReadConstant);
            WaitCursor(true);
            sent = Send(false, "CLB.P");
            Decode(0);
            WaitCursor(false);
        }
        if (!sent) {
            ShowExchangeError(kCommitContext);
            if (AskRetry(kCommitRetryCaption)) continue;
            EndTask();
            Close(DialogResult::Cancel);
            return;
        }
        if (!errorFlag_) break;
        if (++refusals < kCommitTries) continue;
        const Answer answer = device_.prompter().ask(Concat({statusText_, kRepeatSuffix}),
                                                     kRetryCaption, Buttons::YesNo, Icon::None);
        EndTask();
        Close(DialogResult::Cancel);
        if (answer == Answer::Yes) RepeatMode();
        return;
    }

    if (type_ == 4 && valve_ == VALVE_CLOSED) {
        EndTask();
        instruction_ = kOpenValve;
        statusLine_ = kOpenValveLine;
        Refresh();
        valve_ = VALVE_OPEN;
        step_ = STEP_START;
        return;
    }
    instruction_ = type_ == 3 ? kDoneComplex : type_ == 4 ? kDoneValve : kDoneCurve;
    statusLine_ = kDoneLine;
    Refresh();
    step_ = STEP_FINISH;
}

void CCalibrationStep::Finish() {
    EndTask();
    Close(DialogResult::Ok);
    if (type_ == 4 && valve_ == VALVE_OPEN) {
        const Answer answer =
            device_.prompter().ask(kLeaveQuestion, kLeaveCaption, Buttons::YesNo, Icon::None);
        if (answer == Answer::No) RepeatMode();
    }
}

void CCalibrationStep::Failed() {
    EndTask();
    Close(DialogResult::Ok);
    const Answer answer =
        device_.prompter().ask(kRepeatQuestion, kRepeatCaption, Buttons::YesNo, Icon::Question);
    if (answer != Answer::Yes) return;
    CCalibrationStep again(device_, host_, wait_, type_, instructionCopy_, input_);
    host_.RunStep(again);
}

void CCalibrationStep::RepeatMode() {
    CCalibrationMode mode(device_, host_, wait_);
    host_.RunMode(mode);
}

bool CCalibrationStep::Send(bool read, std::string_view name, std::span<const std::uint8_t> data) {
    errorText_.clear();
    reply_.clear();
    bool sent = false;
    host_.RunExchange([&] { sent = device_.Exchange(read, name, data, reply_, errorText_, 0); });
    // The code of an error reply is no calibration reply.
    if (!sent) reply_.clear();
    return sent;
}

bool CCalibrationStep::SendRetried(bool read, std::string_view name,
                                   std::span<const std::uint8_t> data, std::string_view context) {
    for (;;) {
        WaitCursor(true);
        const bool sent = Send(read, name, data);
        WaitCursor(false);
        if (sent) return true;
        ShowExchangeError(context);
        if (!AskRetry(kRetryCaption)) {
            Close(DialogResult::Cancel);
            return false;
        }
    }
}

bool CCalibrationStep::AskRetry(std::string_view caption) {
    return device_.prompter().ask(kRetryQuestion, caption, Buttons::YesNo, Icon::None) ==
           Answer::Yes;
}

void CCalibrationStep::ShowExchangeError(std::string_view context) {
    if (errorText_.empty()) return;
    device_.prompter().notify(errorText_, Concat({kErrorCaptionPrefix, context}), Icon::None);
}

void CCalibrationStep::Decode(std::size_t flagAt) {
    if (reply_.size() < flagAt + 2) {
        // No reply, or one too short to hold a status: that is no success.
        errorFlag_ = true;
        statusText_ =
            errorText_.empty() ? std::string(CalibrationStatusText(kUnknownStatus)) : errorText_;
        processFlagText_ = ProcessFlagText(0);
        return;
    }
    const std::uint8_t status = reply_[flagAt + 1];
    errorFlag_ = status != 0;
    statusText_ = CalibrationStatusText(status);
    processFlagText_ = ProcessFlagText(reply_[flagAt]);
}

void CCalibrationStep::EndTask() {
    errorText_.clear();
    Send(false, "CLB.A");
    Decode(0);
}

bool CCalibrationStep::ReadCoefficient(int number, std::string_view context) {
    coefficient_ = Coefficient{};
    const std::array<std::uint8_t, 1> data{static_cast<std::uint8_t>(number)};
    if (!SendRetried(true, "CLB.G", data, context)) return false;
    if (reply_.size() == 5) {
        coefficient_.present = true;
        coefficient_.number = reply_[0];
        std::copy(reply_.begin() + 1, reply_.end(), coefficient_.bytes.begin());
    } else if (reply_.size() == 2) {
        // No coefficient: the reply says why, or at least that none is ready.
        Decode(0);
        if (!errorFlag_) {
            errorFlag_ = true;
            statusText_ = CalibrationStatusText(kNotReadyStatus);
        }
    } else {
        errorFlag_ = true;
        statusText_ = kSizeError;
    }
    return true;
}

std::vector<std::uint8_t> CCalibrationStep::StartData() const {
    if (type_ == 4) {
        return {static_cast<std::uint8_t>(valve_ * 128 + input_), static_cast<std::uint8_t>(type_)};
    }
    return {static_cast<std::uint8_t>(type_)};
}

bool CCalibrationStep::Wait(std::chrono::milliseconds duration) {
    if (!wait_) {
        // Cut short when the session goes away.
        device_.port().stopEvent.wait(duration);
        return true;
    }
    if (wait_(duration)) return true;
    // "Отмена" pressed while waiting: the task ends as it would from the button.
    WaitCursor(false);
    Cancel();
    return false;
}

void CCalibrationStep::WaitCursor(bool on) {
    if (view_) view_->SetWaitCursor(on);
}

void CCalibrationStep::Refresh() {
    if (view_) view_->ShowTexts(instruction_, statusLine_);
}

void CCalibrationStep::SetContinue(bool shown, bool enabled) {
    continueShown_ = shown;
    continueEnabled_ = enabled;
    if (!view_) return;
    view_->ShowContinue(shown);
    view_->EnableContinue(enabled);
}

void CCalibrationStep::Close(DialogResult result) {
    result_ = result;
    if (view_) view_->Close(result);
}

}  // namespace zep8
