#pragma once

// The calibration wizard's second step without widgets: the module's
// calibration task run step by step. Driven by the step dialog.

#include <array>
#include <chrono>
#include <cstdint>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "ops/calibration/calibration_view.h"

namespace zep8 {

class Device;

// The second dialog of the calibration wizard: each "Продолжить" runs one
// step of the module's calibration task (start and poll, verify, commit,
// finish) and tells the operator what to do next.
class CCalibrationStep {
  public:
    enum Step : int {
        STEP_START = 0,
        STEP_VERIFY = 1,
        STEP_COMMIT = 2,
        STEP_FINISH = 4,
        STEP_FAILED = 5
    };
    enum Valve : int { VALVE_CLOSED = 0, VALVE_OPEN = 1 };

    static constexpr std::string_view kCaption = "Продолжение юстировки";
    // "CLB.S" polls before the task counts as hung.
    static constexpr int kMaxPolls = 12;
    // Read total time-out constant of the port while "CLB.P" writes the
    // module's non-volatile memory (ms).
    static constexpr int kCommitReadConstant = 300;

    // A coefficient as "CLB.G" delivered it.
    struct Coefficient {
        bool present = false;
        std::uint8_t number = 0;
        std::array<std::uint8_t, 4> bytes{};  // IEEE-754 single, most significant first
        float value() const;
    };

    CCalibrationStep(Device& device, CalibrationHost& host, CalibrationWait wait, int type,
                     std::string instruction, int input);

    void Open(CalibrationStepView& view);
    // "Продолжить" and "Отмена".
    void Continue();
    void Cancel();

    int step() const { return step_; }
    int type() const { return type_; }
    int input() const { return input_; }
    int valvePosition() const { return valve_; }
    const std::string& instruction() const { return instruction_; }
    const std::string& statusLine() const { return statusLine_; }
    std::string_view caption() const { return caption_; }
    bool continueShown() const { return continueShown_; }
    bool continueEnabled() const { return continueEnabled_; }
    bool errorFlag() const { return errorFlag_; }
    const std::string& statusText() const { return statusText_; }
    std::string_view processFlagText() const { return processFlagText_; }
    const std::string& errorText() const { return errorText_; }
    const Coefficient& coefficient() const { return coefficient_; }
    DialogResult result() const { return result_; }

  private:
    void Start();
    bool Poll();
    void Verify();
    void Commit();
    void Finish();
    void Failed();

    bool Send(bool read, std::string_view name, std::span<const std::uint8_t> data = {});
    bool SendRetried(bool read, std::string_view name, std::span<const std::uint8_t> data,
                     std::string_view context);
    bool AskRetry(std::string_view caption);
    void ShowExchangeError(std::string_view context);
    void Decode(std::size_t flagAt);
    void EndTask();
    bool ReadCoefficient(int number, std::string_view context);
    void FailVerify(std::string instruction);
    std::vector<std::uint8_t> StartData() const;
    void RepeatMode();
    bool Wait(std::chrono::milliseconds duration);
    void WaitCursor(bool on);
    void Refresh();
    void SetContinue(bool shown, bool enabled);
    void Close(DialogResult result);

    Device& device_;
    CalibrationHost& host_;
    CalibrationWait wait_;
    CalibrationStepView* view_ = nullptr;

    int step_ = STEP_START;
    std::string instructionCopy_;
    bool errorFlag_ = false;
    std::string statusText_;
    std::string_view processFlagText_;
    Coefficient coefficient_;
    int type_;
    int valve_ = VALVE_CLOSED;
    int input_;
    std::string errorText_;
    std::string statusLine_;
    std::string instruction_;

    std::string_view caption_ = kCaption;
    bool continueShown_ = true;
    bool continueEnabled_ = true;
    std::vector<std::uint8_t> reply_;
    DialogResult result_ = DialogResult::Open;
};

}  // namespace zep8
