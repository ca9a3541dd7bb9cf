#pragma once

namespace zep8 {

class Event;
class Parameter;
class Prompter;

// Progress counters of a bulk job.
enum class ProgressCounter { Groups, GroupsWithErrors, Parameters, ParametersWithErrors };

// (processed, failed) of a bulk walk over parameters.
struct TransferCounts {
    int processed = 0;
    int failed = 0;

    TransferCounts& operator+=(const TransferCounts& other) {
        processed += other.processed;
        failed += other.failed;
        return *this;
    }
    bool operator==(const TransferCounts&) const = default;
};

// What the node walks need from the device session: single-parameter
// exchanges (status 0 = success), the abort signal and the progress counters.
class TransferSession {
  public:
    virtual ~TransferSession() = default;

    virtual int ReadParameter(Parameter& parameter) = 0;
    virtual int WriteParameter(Parameter& parameter) = 0;
    virtual int CompareParameter(Parameter& parameter) = 0;
    // Whether the compare walk reads `parameter` at all: a compare before a
    // write reads only what the write would send.
    virtual bool ComparesParameter(const Parameter&) { return true; }
    virtual const Event& AbortEvent() const = 0;
    virtual void AddToCounter(ProgressCounter counter, int n) = 0;
    virtual Prompter& GetPrompter() = 0;
};

}  // namespace zep8
