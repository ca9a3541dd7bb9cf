#include "link/exchange/exchange_journal.h"

#include <cerrno>
#include <cstring>
#include <fstream>

#include "link/exchange/exchange_trace.h"
#include "platform/file_path.h"

namespace zep8 {

ExchangeJournal::ExchangeJournal(std::size_t capacity) : capacity_(capacity == 0 ? 1 : capacity) {}

void ExchangeJournal::OnExchange(const ExchangeRecord& record) {
    if (paused_.load(std::memory_order_relaxed)) return;
    std::lock_guard lock(mutex_);
    if (entries_.size() == capacity_) entries_.pop_front();
    entries_.push_back({++newest_, record});
}

std::vector<ExchangeJournal::Entry> ExchangeJournal::Since(std::uint64_t after) const {
    std::lock_guard lock(mutex_);
    std::vector<Entry> recent;
    if (entries_.empty() || after >= newest_) return recent;
    const std::uint64_t first = entries_.front().number;
    const std::size_t skip = after < first ? 0 : static_cast<std::size_t>(after - first + 1);
    recent.assign(entries_.begin() + static_cast<std::ptrdiff_t>(skip), entries_.end());
    return recent;
}

std::uint64_t ExchangeJournal::Newest() const {
    std::lock_guard lock(mutex_);
    return newest_;
}

std::size_t ExchangeJournal::Size() const {
    std::lock_guard lock(mutex_);
    return entries_.size();
}

void ExchangeJournal::Clear() {
    std::lock_guard lock(mutex_);
    entries_.clear();
}

bool ExchangeJournal::SaveText(const std::string& path, std::string& errorText) const {
    const std::vector<Entry> kept = Since(0);
    std::ofstream file(FilePath(path), std::ios::binary | std::ios::trunc);
    if (!file) {
        errorText = "Не удается создать файл " + path + ": " + std::strerror(errno);
        return false;
    }
    for (const Entry& entry : kept) {
        for (const TraceRow& row : DescribeExchange(entry.record))
            file << TraceRowText(row) << '\n';
    }
    file.flush();
    if (!file) {
        errorText = "Не удается записать файл " + path;
        return false;
    }
    return true;
}

}  // namespace zep8
