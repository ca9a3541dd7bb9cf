#include "ops/fleet/batch_write.h"

#include "ops/fleet/batch_session.h"
#include "ops/fleet/csv_table.h"
#include "ops/device/device.h"
#include "platform/event.h"
#include "platform/process_state.h"
#include "platform/text.h"

namespace zep8 {
namespace {

using Clock = std::chrono::steady_clock;

std::string Seconds(std::chrono::milliseconds ms) {
    return FormatFixed(static_cast<double>(ms.count()) / 1000.0, 1);
}

std::string Reason(std::string_view what, const std::string& detail) {
    return detail.empty() ? std::string(what) : std::string(what) + " (" + detail + ")";
}

}  // namespace

BatchWrite::BatchWrite(Device& device, BatchObserver& observer)
    : device_(device), observer_(observer), taken_(std::make_unique<ConfigurationCopy>()) {
    TakeConfiguration();
}

BatchWrite::~BatchWrite() = default;

void BatchWrite::TakeConfiguration() {
    taken_->Take(device_.commonNode, device_.channelsNode);
}

void BatchWrite::AbortNow() {
    aborted_ = true;
    std::lock_guard lock(sessionMutex_);
    if (session_) session_->Stop();
}

BatchResult BatchWrite::Run(const std::vector<int>& addresses) {
    const auto start = Clock::now();
    ProcessState& state = processState();
    const std::uint32_t before = state.ExitStatus();
    BatchResult result;
    {
        // Every module but the program's own: the polls wait for the end.
        PollPause pause(device_.polls());
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
    }
    if (aborted_) result.aborted = true;
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
    BatchSession session(device_, *taken_, address, [this](int parameters, int failed) {
        observer_.ModuleProgress(stage_, parameters, failed);
    });
    {
        std::lock_guard lock(sessionMutex_);
        session_ = &session;
    }
    if (Identify(session, row)) {
        Write(session, row);
        Verify(session, row);
    }
    {
        std::lock_guard lock(sessionMutex_);
        session_ = nullptr;
    }
    row.took = std::chrono::duration_cast<std::chrono::milliseconds>(Clock::now() - start);
    row.finishedAt = std::chrono::system_clock::now();
    return row;
}
bool BatchWrite::Identify(BatchSession& session, BatchRow& row) {
    stage_ = BatchStage::Identify;
    observer_.ModuleProgress(BatchStage::Identify, 0, 0);
    Device::Identity identity;
    const int flags = session.Identify(identity);
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

void BatchWrite::Write(BatchSession& session, BatchRow& row) {
    stage_ = BatchStage::Write;
    observer_.ModuleProgress(BatchStage::Write, 0, 0);
    session.ResetCounters();
    session.WriteAll();
    row.failed = session.counter(ProgressCounter::ParametersWithErrors);
    row.written = session.counter(ProgressCounter::Parameters) - row.failed;
    if (row.failed == 0) return;
    processState().setExitBits(EXIT_FAILED_PARAMETERS);
    row.failure =
        Reason("не записано параметров: " + std::to_string(row.failed), device_.LastFailure());
}

void BatchWrite::Verify(BatchSession& session, BatchRow& row) {
    // A module that stopped answering would only time out on every parameter.
    const std::uint32_t lost = EXIT_PORT_ERROR | EXIT_TIMEOUT;
    if ((processState().ExitStatus() & lost) != 0 || device_.LineGone()) {
        row.failure = Reason("перестал отвечать, не проверен", device_.LastFailure());
        return;
    }
    stage_ = BatchStage::Verify;
    observer_.ModuleProgress(BatchStage::Verify, 0, 0);
    session.ResetCounters();
    const std::optional<DifferenceList> differences = session.CompareWritten();
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
