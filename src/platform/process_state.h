#pragma once

#include <array>
#include <atomic>
#include <cstdint>

namespace zep8 {

// Bits of the option word (set from the command line).
enum OptionFlag : std::uint16_t {
    OPT_AUTOREAD_ON = 0x0001,
    OPT_AUTOREAD_OFF = 0x0002,
    OPT_AUTOWRITE_ON = 0x0004,
    OPT_AUTOWRITE_OFF = 0x0008,
    OPT_TEST_RUN = 0x0010,
    OPT_SILENT = 0x0020,
    OPT_NO_DEVICE = 0x0040,
    OPT_NETPARAM_EDIT = 0x0100,
};

// Bits of the command-line action word.
enum ActionFlag : std::uint32_t {
    ACTION_WRITE_ALL = 0x01,
    ACTION_LINK_SETTINGS = 0x02,
    ACTION_CLOSE = 0x04,
    ACTION_APPLY = 0x08,
    ACTION_CALIBRATE = 0x10,
    ACTION_AUTOMATION = 0x20,
    ACTION_READ_ALL = 0x40,
};

// Bits of the exit status; the lowest set bit decides the exit code.
enum ExitStatusBit : std::uint32_t {
    EXIT_FILE_ERROR = 0x01,
    EXIT_PORT_ERROR = 0x02,
    EXIT_TIMEOUT = 0x04,
    EXIT_GARBAGE = 0x08,
    // An automated job ended with parameters the module refused or answered
    // with an error (see the error log).
    EXIT_FAILED_PARAMETERS = 0x10,
    EXIT_INTERRUPTED = 0x20,
    EXIT_NOT_ZEP8 = 0x40,
};

// The protocol the module is believed to speak.
enum ProtocolModeCode : int {
    PROTOCOL_OWN = 0,
    PROTOCOL_MODBUS_RTU = 1,
    PROTOCOL_MODBUS_ASCII = 2,
    PROTOCOL_DCON = 3,
};

inline constexpr int kInputCount = 8;
// Dead exchanges in a row that stop a job (and the service report's read of a
// module). The operator's messages say "5" in words of their own.
inline constexpr int kFailureLimit = 5;

// Values that several threads of the process read and write. Every field is
// atomic: the transfer thread, the pollers, the port set-up worker and the
// window thread all touch them.
struct ProcessState {
    std::atomic<std::uint16_t> optionFlags{0};
    std::atomic<std::uint32_t> actionFlags{0};
    std::atomic<int> ProtocolMode{PROTOCOL_OWN};
    // Consecutive link failures of reads and writes, in a job or alone
    // (Device::NoteExchange): kFailureLimit in a row stop the job.
    std::atomic<int> failureCounter{0};
    // The module's network settings in the configuration differ from the program's.
    std::atomic<bool> networkChanged{false};
    // Polling of input i is switched on.
    std::array<std::atomic<bool>, kInputCount> pollerRunning{};

    bool hasOption(std::uint16_t bits) const { return (optionFlags.load() & bits) != 0; }
    bool automation() const { return (actionFlags.load() & ACTION_AUTOMATION) != 0; }
    // The run's outcome (ExitStatusBit bits), turned into the exit code at the
    // end (ExitCodeFor). One atomic word that the transfer thread, the
    // pollers, the watchers and the window all write: most writers or their
    // bit in (setExitBits) or take it out (clearExitBits); a verdict replaces
    // the whole word (SetExitStatus; the link's keeps a job's failed-parameter
    // bit), so there the last writer wins. Every write is one compare-and-swap
    // in UpdateExitStatus: a bit or-ed in at the same time is never lost.
    // Once the calling program's exit event has come (ExitEventCame), the run
    // ends as interrupted, whatever fails later as the work under way stops.
    std::uint32_t ExitStatus() const {
        return exitAsked_.load() ? std::uint32_t{EXIT_INTERRUPTED} : exitStatus_.load();
    }
    void ExitEventCame() {
        exitAsked_ = true;
        SetExitStatus(EXIT_INTERRUPTED);
    }
    template <typename Change>
    void UpdateExitStatus(Change change) {
        std::uint32_t now = exitStatus_.load();
        while (!exitStatus_.compare_exchange_weak(now, change(now))) {
        }
    }
    void SetExitStatus(std::uint32_t word) {
        UpdateExitStatus([word](std::uint32_t) { return word; });
    }
    void setExitBits(std::uint32_t bits) {
        UpdateExitStatus([bits](std::uint32_t now) { return now | bits; });
    }
    void clearExitBits(std::uint32_t bits) {
        UpdateExitStatus([bits](std::uint32_t now) { return now & ~bits; });
    }

    // Back to the start-up values (tests and a new session).
    void reset();

  private:
    std::atomic<std::uint32_t> exitStatus_{0};
    std::atomic<bool> exitAsked_{false};
};

ProcessState& processState();

}  // namespace zep8
