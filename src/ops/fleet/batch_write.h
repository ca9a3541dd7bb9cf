#pragma once

// The batch write: one configuration written to several modules in turn,
// each verified. Run by the batch dialog and by zep8 --addresses=.

#include <atomic>
#include <chrono>
#include <cstdint>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

namespace zep8 {

class Device;
class BatchSession;
struct ConfigurationCopy;

// One module's part of a batch write.
struct BatchRow {
    int address = 0;
    std::string device;    // its "dev"; empty when it did not answer
    std::string version;   // its "ver"
    int written = 0;       // parameters written
    int failed = 0;        // parameters it refused or did not take
    int differences = -1;  // from the configuration after the write; -1: not compared
    std::chrono::system_clock::time_point finishedAt;
    std::chrono::milliseconds took{0};
    std::uint32_t exitBits = 0;  // the failure bits a run on this module alone would end with
    std::string failure;         // why it failed, in words; empty when written and verified

    bool verified() const { return failure.empty(); }
};

struct BatchResult {
    std::vector<BatchRow> rows;
    bool aborted = false;
    std::uint32_t exitBits = 0;  // over all modules, EXIT_INTERRUPTED when aborted
    std::chrono::milliseconds took{0};
};

enum class BatchStage { Identify, Write, Verify };

// Told on the batch's thread.
class BatchObserver {
  public:
    virtual ~BatchObserver() = default;
    // Before each module: `index` of `count`, counted from 0.
    virtual void ModuleStarted(int index, int count, int address) = 0;
    // Within the module: the stage, its parameters done so far and the failed ones.
    virtual void ModuleProgress(BatchStage stage, int parameters, int failed) = 0;
    virtual void ModuleFinished(const BatchRow& row) = 0;
};

// Writes the open configuration's general parameters and inputs to several
// modules on the program's line, one after the other, and compares each with
// the configuration afterwards. The network group (address, speed, format,
// protocol) is never written: each module keeps its own. A module that does
// not answer, or refuses values, does not stop the others. Each module gets a
// copy of the configuration taken before the batch, asked at its own address:
// the open configuration and the program's address stay as they were, and
// the input polls stand aside until the batch ends. Run runs on the caller's
// thread, never the window's.
class BatchWrite {
  public:
    // Takes the configuration as it is now (see TakeConfiguration).
    BatchWrite(Device& device, BatchObserver& observer);
    ~BatchWrite();

    // On the thread that owns the configuration: what the next Run writes.
    void TakeConfiguration();
    BatchResult Run(const std::vector<int>& addresses);
    // From any thread: the batch stops once the module under way is done.
    void Abort() { aborted_ = true; }
    // From any thread: the module under way stops before its next parameter too.
    void AbortNow();

  private:
    BatchRow WriteModule(int address);
    // False with the row's failure set when the module cannot be written.
    bool Identify(BatchSession& session, BatchRow& row);
    void Write(BatchSession& session, BatchRow& row);
    void Verify(BatchSession& session, BatchRow& row);

    Device& device_;
    BatchObserver& observer_;
    std::unique_ptr<ConfigurationCopy> taken_;
    std::atomic<bool> aborted_{false};
    std::mutex sessionMutex_;
    BatchSession* session_ = nullptr;  // the module under way
    std::atomic<BatchStage> stage_{BatchStage::Identify};
};

// One line of the terminal, e.g. "адрес 40: ZEP-8 v7.12; записано 95, ошибок 0,
// отличий 0; 1.2 с; записан и проверен".
std::string BatchRowText(const BatchRow& row);
// The results as a table (see csv_table.h).
std::string BatchCsv(const std::vector<BatchRow>& rows);
std::optional<std::string> SaveBatchCsv(const std::string& path, const std::vector<BatchRow>& rows);

}  // namespace zep8
