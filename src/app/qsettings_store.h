#pragma once

#include <memory>
#include <mutex>
#include <string>

#include "platform/settings_store.h"

class QSettings;

namespace zep8 {

// The settings store of this platform: an INI file kept by QSettings,
// $XDG_CONFIG_HOME/ARVO/ZEP8.conf unless a file is named. A key such as
// "SOFTWARE\ARVO\ZEP8" is a group "software/arvo/zep8"; keys and value names
// are kept in lower case, since they compare ignoring case.
//
// INI text has no types, so a 32-bit integer is written as "int:<decimal>";
// a text that itself starts with "int:" or "str:" is written with "str:" in
// front. Every write is flushed to the file at once.
class QSettingsStore : public SettingsStore {
  public:
    QSettingsStore();
    explicit QSettingsStore(const std::string& iniFile);
    ~QSettingsStore() override;

    std::string fileName() const;

    bool hasKey(std::string_view key) const override;
    bool createKey(std::string_view key) override;
    std::optional<std::string> readString(std::string_view key,
                                          std::string_view name) const override;
    std::optional<std::int32_t> readInt(std::string_view key, std::string_view name) const override;
    bool writeString(std::string_view key, std::string_view name, std::string_view value) override;
    bool writeInt(std::string_view key, std::string_view name, std::int32_t value) override;

  private:
    std::optional<std::string> readRaw(std::string_view key, std::string_view name) const;
    bool writeRaw(std::string_view key, std::string_view name, const std::string& text);

    mutable std::mutex mutex_;
    std::unique_ptr<QSettings> settings_;
};

}  // namespace zep8
