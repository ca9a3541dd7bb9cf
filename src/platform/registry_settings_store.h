#pragma once

#include <string>

#include "platform/settings_store.h"

namespace zep8 {

// Windows only: the settings in the registry, as 32-bit DWORD and string
// values under keys such as "SOFTWARE\ARVO\ZEP8". A value is read from the
// current user's key first, then from the local machine's. It is written to
// the local machine's key when that can be opened for writing (and the user's
// copy of it is then removed, so that it does not hide the new one), else to
// the current user's: an operator without administrator rights keeps
// settings too.
class RegistrySettingsStore : public SettingsStore {
  public:
    // `prefix`, when given, is put before every key ("Software\Test\"): tests
    // keep their own keys apart from the program's.
    explicit RegistrySettingsStore(std::string prefix = {});

    bool hasKey(std::string_view key) const override;
    bool createKey(std::string_view key) override;
    std::optional<std::string> readString(std::string_view key,
                                          std::string_view name) const override;
    std::optional<std::int32_t> readInt(std::string_view key, std::string_view name) const override;
    bool writeString(std::string_view key, std::string_view name, std::string_view value) override;
    bool writeInt(std::string_view key, std::string_view name, std::int32_t value) override;
    bool sharedWithOtherPrograms() const override { return true; }

  private:
    std::wstring KeyPath(std::string_view key) const;
    bool Write(std::string_view key, std::string_view name, unsigned long type, const void* data,
               unsigned long size);

    std::string prefix_;
};

}  // namespace zep8
