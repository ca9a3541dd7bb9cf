#pragma once

#include <QString>
#include <memory>
#include <mutex>
#include <string>

#include "platform/settings_store.h"

class QSettings;
class QTemporaryDir;

namespace zep8 {

// The settings store of this platform: an INI file kept by QSettings,
// $XDG_CONFIG_HOME/ARVO/ZEP8.conf unless a file is named. A key such as
// "SOFTWARE\ARVO\ZEP8" is a group "software/arvo/zep8"; keys and value names
// are kept in lower case, since they compare ignoring case.
//
// INI text has no types, so a 32-bit integer is written as "int:<decimal>";
// a text that itself starts with "int:" or "str:" is written with "str:" in
// front. Every write is flushed to the file at once. The file is the user's
// alone (mode 0600) and no other program's: it holds the operator password,
// as a hash unless an earlier version left it as text.
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

    // A file that QSettings cannot read (or parse) is kept as it is: the store
    // starts from the defaults in a file of its own, and the operator's first
    // change moves the damaged file aside to "<file>.damaged" and writes
    // everything held so far in its place.
    std::string damageNotice() const override;
    void startupWritten() override;

  private:
    void Open(const QString& path);
    std::optional<std::string> readRaw(std::string_view key, std::string_view name) const;
    bool writeRaw(std::string_view key, std::string_view name, const std::string& text);
    // With the mutex held: writes the file, readable by its owner only.
    bool Sync();
    // With the mutex held: puts the held settings in the damaged file's place.
    bool ReleaseHeld();

    mutable std::mutex mutex_;
    std::unique_ptr<QSettings> settings_;
    QString path_;
    std::unique_ptr<QTemporaryDir> heldDir_;  // while the file is damaged
    bool startupWritten_ = false;
};

}  // namespace zep8
