#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace zep8 {

// Persistent program settings: keys (such as "SOFTWARE\ARVO\ZEP8") holding
// named text and 32-bit integer values.
class SettingsStore {
  public:
    virtual ~SettingsStore() = default;

    virtual bool hasKey(std::string_view key) const = 0;
    virtual bool createKey(std::string_view key) = 0;

    virtual std::optional<std::string> readString(std::string_view key,
                                                  std::string_view name) const = 0;
    virtual std::optional<std::int32_t> readInt(std::string_view key,
                                                std::string_view name) const = 0;
    // Writing into a key that does not exist fails; createKey first.
    virtual bool writeString(std::string_view key, std::string_view name,
                             std::string_view value) = 0;
    virtual bool writeInt(std::string_view key, std::string_view name, std::int32_t value) = 0;

    // A store whose file is damaged or unreadable runs on the defaults and
    // leaves the file alone until the operator changes a setting. The notice
    // says so (empty when all is well).
    virtual std::string damageNotice() const { return {}; }
    // The program's own start-up writes are done: whatever is written from
    // now on is the operator's change.
    virtual void startupWritten() {}
    // Other programs read these keys too (the registry's, shared with the
    // maker's other configurators, which take the password as text); a store
    // that is this program's alone says false.
    virtual bool sharedWithOtherPrograms() const { return false; }
};

}  // namespace zep8
