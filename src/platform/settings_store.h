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
};

}  // namespace zep8
