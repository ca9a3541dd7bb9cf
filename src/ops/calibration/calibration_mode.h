#pragma once

// The calibration wizard's first step without widgets: choosing the sensor
// type, the sensor, the input and the access code. Driven by the mode dialog.

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "ops/calibration/calibration_view.h"

namespace zep8 {

class Device;
class Parameter;

// The first dialog of the calibration wizard: type, sensor, input and access
// code. "Продолжить" sets the input's sensor type and runs the step dialog
// between the two JP1 warnings.
class CCalibrationMode {
  public:
    static constexpr std::string_view kCaption = "Режим юстировки";
    // Range and start of the code spin.
    static constexpr int kCodeMin = 0;
    static constexpr int kCodeMax = 1000;
    // How much taller than the template the drop-down lists open (pixels).
    static constexpr int kDropDownExtraHeight = 100;

    CCalibrationMode(Device& device, CalibrationHost& host, CalibrationWait wait = {});

    // The dialog opens: type list filled, type 0 chosen, code 0.
    void Open(CalibrationModeView& view);
    // The operator's choices; -1 is no selection.
    void SelectType(int type);
    void SelectSensor(int entry);
    void SelectInput(int entry);
    void SetCodeText(std::string text) { codeText_ = std::move(text); }
    // "Продолжить" and "Отмена".
    void Continue();
    void Cancel();

    std::vector<std::string_view> typeEntries() const;
    int type() const { return type_; }
    std::string_view description() const;
    // The sensor list and its label "Тип датчика"; the input list and "Номер канала".
    bool sensorListShown() const;
    bool inputListShown() const;
    bool codeEnabled() const { return type_ != 0; }
    const std::vector<std::string>& sensorEntries() const { return sensorEntries_; }
    int sensorSelection() const { return sensorSelection_; }
    const std::vector<std::string>& inputEntries() const { return inputEntries_; }
    int inputSelection() const { return inputSelection_; }
    const std::string& codeText() const { return codeText_; }
    DialogResult result() const { return result_; }

    // Wrong access codes in a row, over every mode dialog of the program run.
    static int WrongCodeCount();
    static void ResetWrongCodeCount();
    // The code field as the comparison reads it: leading digits, 0 for none.
    static long ParseCode(std::string_view text);

  private:
    void ApplyType();
    bool FillSensorList();
    std::optional<int> ReadSensorCode(int input, std::string& failure);
    bool WriteSensorCode(int code, int input);
    Parameter* SensorParameter(int input) const;
    // `read` into the input's sensor parameter, unless the epoch moved on
    // since `epoch` (taken before the exchange).
    void StoreRead(int input, std::uint64_t epoch, const Parameter& read);
    void Close(DialogResult result);
    void Refresh();

    Device& device_;
    CalibrationHost& host_;
    CalibrationWait wait_;
    CalibrationModeView* view_ = nullptr;
    int type_ = 0;
    std::vector<std::string> sensorEntries_;
    int sensorSelection_ = -1;
    std::vector<std::string> inputEntries_;
    int inputSelection_ = -1;
    std::string codeText_ = "0";
    DialogResult result_ = DialogResult::Open;
};

}  // namespace zep8
