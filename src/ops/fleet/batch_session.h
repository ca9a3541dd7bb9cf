#pragma once

// What one module's part of a batch write works on: a copy of the open
// configuration and a session of its own. Used by batch_write only.

#include <array>
#include <functional>

#include "link/exchange/device_io.h"
#include "model/channels.h"
#include "model/common.h"
#include "model/transfer_session.h"
#include "ops/device/device.h"
#include "ops/device/difference.h"
#include "platform/event.h"

namespace zep8 {

// What a batch writes: the open configuration's general parameters and
// inputs as they were when the batch took them. Taken on the thread that owns
// the configuration; the batch's thread works on copies of it only.
struct ConfigurationCopy {
    Common common;
    Channels channels;

    void Take(const Common& fromCommon, const Channels& fromChannels);
    void Take(const ConfigurationCopy& other) { Take(other.common, other.channels); }
};

// One module's part of a batch: a fresh copy of the configuration, the
// module's address, and a stop of its own. The open configuration, its change
// marks and its errors stay as they were, and so does the program's address.
class BatchSession : public TransferSession {
  public:
    // Parameters done so far in the walk under way, and the failed ones.
    using Progress = std::function<void(int parameters, int failed)>;

    BatchSession(Device& device, const ConfigurationCopy& taken, int address, Progress progress);

    int Identify(Device::Identity& identity);
    // Writes every writable parameter that holds a value.
    void WriteAll();
    // Reads back what the write sent; nothing when the session was stopped.
    std::optional<DifferenceList> CompareWritten();
    // From any thread: the walk ends before its next parameter.
    void Stop() { stop_.set(); }
    // The walk's counters so far.
    int counter(ProgressCounter c) const { return counters_[static_cast<std::size_t>(c)]; }
    void ResetCounters();

    int ReadParameter(Parameter& parameter) override;
    int WriteParameter(Parameter& parameter) override;
    int CompareParameter(Parameter& parameter) override;
    bool ComparesParameter(const Parameter& parameter) override;
    const Event& AbortEvent() const override { return stop_; }
    void AddToCounter(ProgressCounter counter, int n) override;
    Prompter& GetPrompter() override { return device_.prompter(); }

  private:
    std::string GroupOf(const Parameter& parameter) const;

    Device& device_;
    ConfigurationCopy work_;
    Event stop_{Event::Reset::Manual};
    ExchangeRun run_;
    Progress progress_;
    std::array<std::atomic<int>, 4> counters_{};
    DifferenceList differences_;
};

}  // namespace zep8
