#include "ops/batch_write.h"

#include "ops/csv_table.h"
#include "ops/device.h"
#include "platform/event.h"
#include "platform/process_state.h"
#include "platform/text.h"

namespace zep8 {
namespace {

using Clock = std::chrono::steady_clock;

}  // namespace

// The device's jobs report here during a batch: their counters become the
// module's progress, and the batch's thread waits for each job to end.
class BatchStageObserver : public JobObserver {
  public:
    explicit BatchStageObserver(BatchObserver& batch) : batch_(batch) {}

    void Begin(BatchStage stage) {
        stage_ = stage;
        parameters_ = 0;
        failed_ = 0;
        batch_.ModuleProgress(stage, 0, 0);
    }
    int parameters() const { return parameters_; }
    int failed() const { return failed_; }

    void JobStarted(Job, std::string_view) override {}
    void CounterChanged(ProgressCounter counter, int value) override {
        if (counter == ProgressCounter::Parameters) {
            parameters_ = value;
        } else if (counter == ProgressCounter::ParametersWithErrors) {
            failed_ = value;
        } else {
            return;
        }
        batch_.ModuleProgress(stage_, parameters_, failed_);
    }
    void JobFinished() override { finished_.set(); }
    void WaitForJob() override { finished_.wait(Event::kInfinite); }

  private:
    BatchObserver& batch_;
    std::atomic<BatchStage> stage_{BatchStage::Identify};
    std::atomic<int> parameters_{0};
    std::atomic<int> failed_{0};
    Event finished_{Event::Reset::Auto};
};

namespace {

// What the device is set to outside a batch, put back when the batch ends.
class SessionRestorer {
  public:
    SessionRestorer(Device& device, JobObserver& stages)
        : device_(device),
          address_(device.port().settings.baseAddress),
          addressText_(device.programNet().GetValue("Addr")),
          observer_(device.observer()),
          hold_(device.finishHold()),
          netWrite_(device.netWriteEnabled.exchange(false)) {
        device.SetObserver(&stages);
        device.SetFinishHold(std::chrono::milliseconds(0));
    }
    ~SessionRestorer() {
        device_.UseAddress(address_);
        device_.programNet().SetValue("Addr", addressText_, false);
        device_.SetObserver(observer_);
        device_.SetFinishHold(hold_);
        device_.netWriteEnabled = netWrite_;
    }
    SessionRestorer(const SessionRestorer&) = delete;
    SessionRestorer& operator=(const SessionRestorer&) = delete;

  private:
    Device& device_;
    int address_;
    std::string addressText_;
    JobObserver* observer_;
    std::chrono::milliseconds hold_;
    bool netWrite_;
};

std::string Seconds(std::chrono::milliseconds ms) {
    return FormatFixed(static_cast<double>(ms.count()) / 1000.0, 1);
}

std::string Reason(std::string_view what, const std::string& detail) {
    return detail.empty() ? std::string(what) : std::string(what) + " (" + detail + ")";
}

}  // namespace

BatchResult BatchWrite::Run(const std::vector<int>& addresses) {
    const auto start = Clock::now();
    ProcessState& state = processState();
    const std::uint32_t before = state.ExitStatus();
    BatchResult result;
    {
        BatchStageObserver stages(observer_);
        SessionRestorer restorer(device_, stages);
        stages_ = &stages;
        const int count = static_cast<int>(addresses.size());
        for (int i = 0; i < count; ++i) {
            if (aborted_) {
                result.aborted = true;
                break;
            }
            observer_.ModuleStarted(i, count, addresses[static_cast<std::size_t>(i)]);
            // Each module's verdict on its own, as a run on it alone would give.
            state.SetExitStatus(0);
            state.failureCounter = 0;
            BatchRow row = WriteModule(addresses[static_cast<std::size_t>(i)]);
            row.exitBits = state.ExitStatus();
            result.exitBits |= row.exitBits;
            result.rows.push_back(row);
            observer_.ModuleFinished(row);
        }
        stages_ = nullptr;
    }
    if (result.aborted) result.exitBits |= EXIT_INTERRUPTED;
    state.SetExitStatus(before | result.exitBits);
    state.failureCounter = 0;
    result.took = std::chrono::duration_cast<std::chrono::milliseconds>(Clock::now() - start);
    return result;
}

BatchRow BatchWrite::WriteModule(int address) {
    const auto start = Clock::now();
    BatchRow row;
    row.address = address;
    device_.UseAddress(address);
    if (Identify(row)) {
        Write(row);
        Verify(row);
    }
    row.took = std::chrono::duration_cast<std::chrono::milliseconds>(Clock::now() - start);
    row.finishedAt = std::chrono::system_clock::now();
    return row;
}

bool BatchWrite::Identify(BatchRow& row) {
    stages_->Begin(BatchStage::Identify);
    Device::Identity identity;
    const int flags = device_.Identify(false, &identity);
    row.device = identity.device;
    row.version = identity.version;
    if (!(flags & IDENTIFY_ANSWERED)) {
        row.failure = Reason("нет ответа", device_.LastFailure());
        return false;
    }
    if (!(flags & IDENTIFY_ZEP8)) {
        processState().setExitBits(EXIT_NOT_ZEP8);
        row.failure = "ответил не ЗЕП8, не записан";
        return false;
    }
    return true;
}

void BatchWrite::Write(BatchRow& row) {
    stages_->Begin(BatchStage::Write);
    device_.WriteAll();
    row.failed = stages_->failed();
    row.written = stages_->parameters() - row.failed;
    if (row.failed == 0) return;
    processState().setExitBits(EXIT_FAILED_PARAMETERS);
    row.failure =
        Reason("не записано параметров: " + std::to_string(row.failed), device_.LastFailure());
}

void BatchWrite::Verify(BatchRow& row) {
    // A module that stopped answering would only time out on every parameter.
    const std::uint32_t lost = EXIT_PORT_ERROR | EXIT_TIMEOUT;
    if ((processState().ExitStatus() & lost) != 0 || device_.LineGone()) {
        row.failure = Reason("перестал отвечать, не проверен", device_.LastFailure());
        return;
    }
    stages_->Begin(BatchStage::Verify);
    const std::optional<DifferenceList> differences = device_.CompareBeforeWrite(true);
    if (!differences) {
        if (row.failure.empty()) row.failure = "не проверен";
        return;
    }
    row.differences = static_cast<int>(differences->size());
    if (row.differences == 0) return;
    processState().setExitBits(EXIT_FAILED_PARAMETERS);
    const std::string text = "после записи отличий: " + std::to_string(row.differences);
    row.failure = row.failure.empty() ? text : row.failure + "; " + text;
}

std::string BatchRowText(const BatchRow& row) {
    std::string text = "адрес " + std::to_string(row.address) + ": ";
    if (row.device.empty()) {
        text += "не опознан";
    } else {
        text += row.device + (row.version.empty() ? "" : " " + row.version) + "; записано " +
                std::to_string(row.written) + ", ошибок " + std::to_string(row.failed) +
                ", отличий " + (row.differences < 0 ? "-" : std::to_string(row.differences));
    }
    text += "; " + Seconds(row.took) + " с; ";
    return text + (row.verified() ? "записан и проверен" : row.failure);
}

std::string BatchCsv(const std::vector<BatchRow>& rows) {
    std::string text = "адрес;прибор;версия;записано;ошибок;отличий;время;длительность, с;итог\n";
    for (const BatchRow& r : rows) {
        text += std::to_string(r.address) + ";" + CsvField(r.device) + ";" + CsvField(r.version) +
                ";" + std::to_string(r.written) + ";" + std::to_string(r.failed) + ";" +
                (r.differences < 0 ? std::string() : std::to_string(r.differences)) + ";" +
                CsvTime(r.finishedAt) + ";" + Seconds(r.took) + ";" +
                CsvField(r.verified() ? "записан и проверен" : r.failure) + "\n";
    }
    return text;
}

std::optional<std::string> SaveBatchCsv(const std::string& path,
                                        const std::vector<BatchRow>& rows) {
    return SaveCsv(path, BatchCsv(rows), "Итог записи не сохранен");
}

}  // namespace zep8
