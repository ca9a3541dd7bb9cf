#pragma once

// The bus monitor's journal of the last exchanges.

#include <atomic>
#include <cstdint>
#include <deque>
#include <mutex>
#include <string>
#include <vector>

#include "link/exchange/exchange_tap.h"

namespace zep8 {

// The last exchanges of the line, for the bus monitor: taken on the link's
// threads, read by the window a batch at a time.
class ExchangeJournal : public ExchangeTap {
  public:
    static constexpr std::size_t kDefaultCapacity = 20000;

    explicit ExchangeJournal(std::size_t capacity = kDefaultCapacity);

    void OnExchange(const ExchangeRecord& record) override;

    struct Entry {
        std::uint64_t number;  // 1, 2, ... since the journal began; never reused
        ExchangeRecord record;
    };
    // The kept exchanges numbered above `after`, oldest first.
    std::vector<Entry> Since(std::uint64_t after) const;
    // Number of the newest exchange (0 when none yet).
    std::uint64_t Newest() const;
    std::size_t Size() const;
    void Clear();

    // A paused journal lets exchanges pass unrecorded.
    void SetPaused(bool paused) { paused_ = paused; }
    bool Paused() const { return paused_; }

    // Every kept exchange as trace lines (UTF-8, one line per request and per
    // reply) into `path`. False with the reason when the file cannot be written.
    bool SaveText(const std::string& path, std::string& errorText) const;

  private:
    const std::size_t capacity_;
    std::atomic<bool> paused_{false};
    mutable std::mutex mutex_;
    std::deque<Entry> entries_;
    std::uint64_t newest_ = 0;
};

}  // namespace zep8
