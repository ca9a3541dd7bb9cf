#pragma once

#include <map>
#include <mutex>
#include <variant>

#include "platform/settings_store.h"

namespace zep8 {

// Settings kept in memory only (tests, and runs that must not touch the
// operator's settings). Key names compare ignoring case, like the registry's.
// `shared` makes it stand for a store that other programs read as well.
class MemorySettingsStore : public SettingsStore {
  public:
    explicit MemorySettingsStore(bool shared = false) : shared_(shared) {}

    bool hasKey(std::string_view key) const override;
    bool createKey(std::string_view key) override;
    std::optional<std::string> readString(std::string_view key,
                                          std::string_view name) const override;
    std::optional<std::int32_t> readInt(std::string_view key, std::string_view name) const override;
    bool writeString(std::string_view key, std::string_view name, std::string_view value) override;
    bool writeInt(std::string_view key, std::string_view name, std::int32_t value) override;
    bool sharedWithOtherPrograms() const override { return shared_; }

  private:
    using Value = std::variant<std::string, std::int32_t>;
    using Values = std::map<std::string, Value>;

    const Values* find(std::string_view key) const;
    bool write(std::string_view key, std::string_view name, Value value);

    mutable std::mutex mutex_;
    std::map<std::string, Values> keys_;
    const bool shared_;
};

}  // namespace zep8
