#pragma once

// The calibration wizard's fixed tables: the sensors of each calibration type,
// their access codes and reference signals. Read by the mode and step engines.

#include <cstdint>
#include <span>
#include <string>
#include <string_view>

namespace zep8 {

// Reference-signal instructions of the type-1 sensors.
enum CalibrationReference : int { R0, R1, R2, R3, R4, R5, R6, R7, R8, R9, R10 };

// One entry of a sensor list of the calibration wizard.
struct CalibrationSensor {
    std::string_view text;
    int code;       // position of the sensor type in the "in-t" enumeration
    int reference;  // the instruction for the reference signal (type 1 only)
};

// One row of the wizard's type list; the list index is the type number the
// module is given.
struct CalibrationType {
    std::string_view listText;
    std::string_view description;
    std::span<const CalibrationSensor> sensors;  // empty: no sensor list
    bool inputList;
    int accessCode;  // three digits; none for type 0
};

inline constexpr int kCalibrationTypeCount = 5;
inline constexpr int kCalibrationInputs = 8;

// Type 0 to 4; the type-0 row for anything else.
const CalibrationType& GetCalibrationType(int type);
std::string_view ReferenceInstruction(int reference);
// What the step dialog shows first for types 2 to 4.
std::string_view TypeInstruction(int type);
// "Вход №1" to "Вход №8".
std::string InputEntryText(int input);

// Texts of the status byte and of the process-flag byte of a "CLB.*" reply.
std::string_view CalibrationStatusText(std::uint8_t code);
std::string_view ProcessFlagText(std::uint8_t flag);

}  // namespace zep8
