#pragma once

#include <array>
#include <chrono>
#include <cstdint>
#include <functional>
#include <map>
#include <mutex>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "sim/calibration_task.h"
#include "sim/line_settings.h"
#include "sim/measurement_source.h"

namespace zep8 {
struct CatalogueEntry;
}

namespace zep8::sim {

// Misbehaviour a test can order for the next replies.
enum class Fault {
    Silence,           // no reply at all
    Garbage,           // noise of a reply's length, ending in a carriage return
    LostStart,         // the reply without its "#"
    BadChecksum,       // one letter of the check sum altered
    NoCarriageReturn,  // the reply's carriage return left off
    WrongHash,         // a well-formed reply under another hash
};

struct RequestCount {
    int received = 0;      // well-formed requests addressed to this module
    int answered = 0;      // replies sent, error replies and faulty ones included
    int errorReplies = 0;  // of those, "n.Err" replies
};

struct Reply {
    std::string bytes;
    // When to send it, counted from the first character of the request.
    std::chrono::nanoseconds delay{0};
};

// The ZEP8 itself, without a line: frames in, replies out. Every public
// member may be called from any thread.
class VirtualModule {
  public:
    static constexpr int kInputs = 8;
    using Clock = std::chrono::steady_clock;

    // How the line cuts the received characters into frames.
    enum class Framing { CarriageReturn, Silence };

    explicit VirtualModule(const LineSettings& start = {});

    // One frame as received, up to and including its carriage return (or, on
    // ModBUS-RTU, the bytes up to a pause). Nothing when the module stays silent.
    std::optional<Reply> handleFrame(std::string_view received);

    Framing framing() const;
    LineSettings activeSettings() const;
    // The settings written but not yet applied by "APLY".
    LineSettings pendingSettings() const;
    int refusedApplies() const;

    // Reply no earlier than the request and the reply take on the wire plus
    // the response delay "RS.dL".
    void setLineTiming(bool on);
    bool lineTiming() const;

    // Answer only at the own addresses: requests to "any module" (255) go
    // unanswered, as on a module whose firmware does not know that address.
    void setIgnoreBroadcast(bool on);
    bool ignoresBroadcast() const;

    // Identity: texts in UTF-8, sent in Windows-1251, last character first.
    void setIdentity(std::string deviceName, std::string version);
    void setRestartCause(std::array<std::uint8_t, 3> bytes);

    // Stored values: the enumeration code, or the number. `index` is the input
    // for per-input parameters and 0 otherwise.
    std::optional<double> value(std::string_view name, int index = 0) const;
    bool setValue(std::string_view name, int index, double value);
    // Bit 0: editable; bit 1: owned by the user (clear: owned by the factory).
    static constexpr std::uint8_t kEditable = 0x01;
    static constexpr std::uint8_t kUserOwned = 0x02;
    std::optional<std::uint8_t> attributes(std::string_view name, int index = 0) const;
    bool setAttributes(std::string_view name, int index, std::uint8_t bits);

    // Measured values of "rEAd".
    void setSource(int input, const MeasurementSource& source);
    // An exception code (0xF0..0xFF) instead of the value; nothing to clear it.
    void setMeasurementException(int input, std::optional<std::uint8_t> code);
    void setClock(std::function<Clock::time_point()> clock);

    void setCalibration(const CalibrationTask::Setup& setup);
    CalibrationTask calibration() const;

    // The next `count` requests get the fault; with `after`, the ones after
    // that many more requests have passed untouched.
    void injectFault(Fault fault, int count = 1, int after = 0);
    void injectDelay(std::chrono::milliseconds delay, int count = 1);
    // Every request for `name` gets the error reply `code` until cleared.
    void forceError(std::string_view name, std::uint8_t code);
    void clearForcedError(std::string_view name);
    void clearFaults();

    RequestCount count(std::string_view name) const;
    RequestCount total() const;
    int foreignReturns() const;
    void resetCounters();

  private:
    struct Slot {
        double number = 0;
        int decimals = 0;
        std::uint8_t attributes = 0x03;
    };
    struct Parameter {
        std::string_view name;
        std::uint16_t hash = 0;
        const CatalogueEntry* entry = nullptr;
        int itemCount = 0;  // enumerations
        bool readOnly = false;
        std::array<Slot, kInputs> perInput{};
    };
    struct Outcome {
        std::vector<std::uint8_t> data;
        std::optional<std::uint8_t> error;
        bool silent = false;
    };
    struct Request {
        int address = 0;
        int offset = 0;
        bool read = false;
        bool parsed = false;  // the frame was sound, so hash and data are known
        std::uint16_t hash = 0;
        std::vector<std::uint8_t> data;
    };

    std::optional<Reply> handleOwnFrame(std::string_view received);
    std::optional<Reply> handleForeignFrame(std::string_view received);
    std::optional<Reply> finishReply(const Request& request, const Outcome& outcome,
                                     std::size_t receivedLength);
    std::chrono::nanoseconds replyDelay(std::size_t requestLength, std::size_t replyLength);
    bool takeFault(Fault fault);

    Outcome dispatch(const Request& request);
    Outcome valueRequest(Parameter& parameter, const Request& request);
    Outcome attributeRequest(const Request& request);
    Outcome measurement(const Request& request);
    Outcome calibrationRequest(const Request& request);
    Outcome text(const std::string& utf8) const;
    void apply();

    std::vector<std::uint8_t> encodeValue(const Parameter& parameter, const Slot& slot) const;
    Parameter* find(std::uint16_t hash);
    const Parameter* find(std::uint16_t hash) const;
    Slot* slot(std::string_view name, int index);
    const Slot* slot(std::string_view name, int index) const;
    double number(std::string_view name, int index = 0) const;
    void storeSettings(const LineSettings& settings);
    LineSettings storedSettings() const;

    mutable std::mutex mutex_;
    std::vector<Parameter> parameters_;
    LineSettings active_;
    int refusedApplies_ = 0;
    bool lineTiming_ = false;
    bool ignoreBroadcast_ = false;

    std::string deviceName_ = "ZEP-8";
    std::string version_ = "v7.12";
    std::array<std::uint8_t, 3> restartCause_{0x00, 0x00, 0x07};

    std::function<Clock::time_point()> clock_;
    Clock::time_point started_;
    std::array<MeasurementSource, kInputs> sources_{};
    std::array<std::optional<std::uint8_t>, kInputs> exceptions_{};
    std::array<std::uint16_t, kInputs> measurementCounters_{};

    CalibrationTask calibration_;

    std::map<Fault, int> faults_;
    std::map<Fault, int> faultsAfter_;  // requests still passed before the fault
    int delayedReplies_ = 0;
    std::chrono::milliseconds faultDelay_{0};
    std::map<std::uint16_t, std::uint8_t> forcedErrors_;

    std::map<std::uint16_t, RequestCount> counts_;
    RequestCount total_;
    int foreignReturns_ = 0;
};

}  // namespace zep8::sim
