#include "sim/calibration_task.h"

#include <algorithm>
#include <bit>

namespace zep8::sim {
namespace {

// Module error codes of a task that is not there.
constexpr std::uint8_t kTaskNotStarted = 0x42;

constexpr int kThermocouples[] = {5, 6, 17, 18, 19, 20, 21, 22, 23, 24, 25};
constexpr int kValveSensors[] = {26, 27, 28, 41};

bool SensorFitsType(int type, int sensor) {
    switch (type) {
        case 1:
            return sensor != 0;
        case 2:
            return std::ranges::find(kThermocouples, sensor) != std::end(kThermocouples);
        case 4:
            return std::ranges::find(kValveSensors, sensor) != std::end(kValveSensors);
        default:
            return true;
    }
}

}  // namespace

CalibrationTask::Result CalibrationTask::start(std::span<const std::uint8_t> data,
                                               const std::array<int, 8>& sensors) {
    // A new start replaces an unfinished task: the program may leave one behind
    // when the operator gives up without aborting it.
    running_ = false;
    measured_ = false;
    flag_ = 0;
    int type = 0;
    int input = 0;
    bool valveOpen = false;
    if (data.size() == 1) {
        type = data[0];
    } else {
        type = data[1];
        input = data[0] & 0x7F;
        valveOpen = (data[0] & 0x80) != 0;
    }
    const bool typeFitsLength = data.size() == 1 ? (type >= 1 && type <= 3) : type == 4;
    std::uint8_t status = kStatusOk;
    if (!typeFitsLength) {
        status = kWrongType;
    } else if (input > 7) {
        status = kWrongInput;
    } else if (!SensorFitsType(type, sensors[static_cast<std::size_t>(input)])) {
        status = kWrongSensorType;
    }
    running_ = true;
    type_ = type;
    input_ = input;
    valveOpen_ = valveOpen;
    polls_ = 0;
    refusalsLeft_ = setup.commitRefusals;
    // A refused start ends at once, so the state poll reports the refusal
    // instead of keeping the program waiting.
    measured_ = status != kStatusOk;
    flag_ = measured_ ? kMeasured : kMeasuring;
    status_ = status;
    return flagAndStatus(status);
}

CalibrationTask::Result CalibrationTask::state() {
    if (!running_) return {{}, kTaskNotStarted};
    ++polls_;
    if (!measured_ && polls_ >= setup.pollsNeeded) {
        measured_ = true;
        flag_ = kMeasured;
        status_ = setup.endStatus;
    }
    return flagAndStatus(status_);
}

CalibrationTask::Result CalibrationTask::check() const {
    if (!running_) return {{}, kTaskNotStarted};
    if (!measured_) return {{0, flag_, kNotReady}, std::nullopt};
    return {{setup.faultyCoefficient, flag_, status_}, std::nullopt};
}

CalibrationTask::Result CalibrationTask::coefficient(std::uint8_t number) const {
    if (!running_) return {{}, kTaskNotStarted};
    if (!measured_) return flagAndStatus(kNotReady);
    const int count = coefficientCount();
    if (number < 1 || number > count) {
        // 0x21, 0x22, 0x24: "no more than 1, 2, 4 coefficients".
        return flagAndStatus(static_cast<std::uint8_t>(0x20 | count));
    }
    const auto bits = std::bit_cast<std::uint32_t>(setup.coefficients[number - 1U]);
    return {{number, static_cast<std::uint8_t>(bits >> 24), static_cast<std::uint8_t>(bits >> 16),
             static_cast<std::uint8_t>(bits >> 8), static_cast<std::uint8_t>(bits)},
            std::nullopt};
}

CalibrationTask::Result CalibrationTask::commit() {
    if (!running_) return {{}, kTaskNotStarted};
    if (!measured_) return flagAndStatus(kNotReady);
    if (status_ != kStatusOk) return flagAndStatus(status_);
    if (refusalsLeft_ > 0) {
        --refusalsLeft_;
        return flagAndStatus(setup.refusalStatus);
    }
    ++commits_;
    flag_ |= kCommitted;
    return flagAndStatus(kStatusOk);
}

CalibrationTask::Result CalibrationTask::abort() {
    Result result = flagAndStatus(running_ ? status_ : kStatusOk);
    running_ = false;
    measured_ = false;
    flag_ = 0;
    return result;
}

int CalibrationTask::coefficientCount() const {
    switch (type_) {
        case 2:
            return 2;
        case 3:
            return 4;
        default:
            return 1;
    }
}

}  // namespace zep8::sim
