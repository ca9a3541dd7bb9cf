#pragma once

#include <array>
#include <cstdint>
#include <optional>
#include <span>
#include <vector>

namespace zep8::sim {

// The module's calibration task behind the "CLB.*" commands. Measuring takes
// a settable number of state polls instead of time, so tests run fast.
class CalibrationTask {
  public:
    // Bits of the process flag.
    static constexpr std::uint8_t kMeasuring = 0x01;
    static constexpr std::uint8_t kCommitted = 0x40;
    static constexpr std::uint8_t kMeasured = 0x80;

    // Status codes of the replies.
    static constexpr std::uint8_t kStatusOk = 0x00;
    static constexpr std::uint8_t kWrongSensorType = 0x0A;
    static constexpr std::uint8_t kWrongInput = 0x0C;
    static constexpr std::uint8_t kWrongType = 0x0D;
    static constexpr std::uint8_t kEepromWriteFailed = 0x0F;
    static constexpr std::uint8_t kNotReady = 0x20;

    // What a test can make the module do.
    struct Setup {
        int pollsNeeded = 1;                 // "CLB.S" polls until the measurement ends
        std::uint8_t endStatus = kStatusOk;  // status once measured
        std::uint8_t faultyCoefficient = 0;  // reported by "CLB.T"; 0 = none
        std::array<float, 4> coefficients{1.0012f, -0.0043f, 0.9987f, 0.0021f};
        int commitRefusals = 0;  // "CLB.P" refused this many times
        std::uint8_t refusalStatus = kEepromWriteFailed;
    };

    // Reply data, or the code of an error reply.
    struct Result {
        std::vector<std::uint8_t> data;
        std::optional<std::uint8_t> error;
    };

    // `sensors`: the "in-t" code of every input, to check the type fits the sensor.
    Result start(std::span<const std::uint8_t> data, const std::array<int, 8>& sensors);
    Result state();
    Result check() const;
    Result coefficient(std::uint8_t number) const;
    Result commit();
    Result abort();

    Setup setup;

    bool running() const { return running_; }
    int type() const { return type_; }
    int input() const { return input_; }
    bool valveOpen() const { return valveOpen_; }
    int polls() const { return polls_; }
    int commits() const { return commits_; }

  private:
    Result flagAndStatus(std::uint8_t status) const { return {{flag_, status}, std::nullopt}; }
    int coefficientCount() const;

    bool running_ = false;
    bool measured_ = false;
    int type_ = 0;
    int input_ = 0;
    bool valveOpen_ = false;
    int polls_ = 0;
    int commits_ = 0;
    int refusalsLeft_ = 0;
    std::uint8_t flag_ = 0;
    std::uint8_t status_ = kStatusOk;
};

}  // namespace zep8::sim
