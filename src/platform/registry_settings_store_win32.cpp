#include "platform/registry_settings_store.h"

#include <windows.h>

#include <vector>

#include "platform/wide_text_win32.h"

namespace zep8 {
namespace {

// The user's key first: what an operator set for himself wins.
const HKEY kReadOrder[] = {HKEY_CURRENT_USER, HKEY_LOCAL_MACHINE};

bool KeyExists(HKEY root, const std::wstring& path) {
    HKEY key = nullptr;
    if (RegOpenKeyExW(root, path.c_str(), 0, KEY_READ, &key) != ERROR_SUCCESS) return false;
    RegCloseKey(key);
    return true;
}

// The open key of `root` a value may be written to; nullptr when the user
// may not write there. Made when missing.
HKEY WritableKey(HKEY root, const std::wstring& path) {
    HKEY key = nullptr;
    if (RegCreateKeyExW(root, path.c_str(), 0, nullptr, REG_OPTION_NON_VOLATILE,
                        KEY_SET_VALUE | KEY_QUERY_VALUE, nullptr, &key, nullptr) != ERROR_SUCCESS) {
        return nullptr;
    }
    return key;
}

}  // namespace

RegistrySettingsStore::RegistrySettingsStore(std::string prefix) : prefix_(std::move(prefix)) {}

std::wstring RegistrySettingsStore::KeyPath(std::string_view key) const {
    return WideFromUtf8(prefix_ + std::string(key));
}

bool RegistrySettingsStore::hasKey(std::string_view key) const {
    const std::wstring path = KeyPath(key);
    for (HKEY root : kReadOrder)
        if (KeyExists(root, path)) return true;
    return false;
}

bool RegistrySettingsStore::createKey(std::string_view key) {
    const std::wstring path = KeyPath(key);
    for (HKEY root : {HKEY_LOCAL_MACHINE, HKEY_CURRENT_USER}) {
        if (HKEY made = WritableKey(root, path)) {
            RegCloseKey(made);
            return true;
        }
    }
    return false;
}

std::optional<std::string> RegistrySettingsStore::readString(std::string_view key,
                                                             std::string_view name) const {
    const std::wstring path = KeyPath(key);
    const std::wstring value = WideFromUtf8(name);
    for (HKEY root : kReadOrder) {
        DWORD bytes = 0;
        if (RegGetValueW(root, path.c_str(), value.c_str(), RRF_RT_REG_SZ, nullptr, nullptr,
                         &bytes) != ERROR_SUCCESS) {
            continue;
        }
        std::vector<wchar_t> text(bytes / sizeof(wchar_t) + 1, L'\0');
        bytes = static_cast<DWORD>(text.size() * sizeof(wchar_t));
        if (RegGetValueW(root, path.c_str(), value.c_str(), RRF_RT_REG_SZ, nullptr, text.data(),
                         &bytes) != ERROR_SUCCESS) {
            continue;
        }
        return Utf8FromWide(std::wstring_view(text.data()));
    }
    return std::nullopt;
}

std::optional<std::int32_t> RegistrySettingsStore::readInt(std::string_view key,
                                                           std::string_view name) const {
    const std::wstring path = KeyPath(key);
    const std::wstring value = WideFromUtf8(name);
    for (HKEY root : kReadOrder) {
        DWORD number = 0;
        DWORD bytes = sizeof number;
        if (RegGetValueW(root, path.c_str(), value.c_str(), RRF_RT_REG_DWORD, nullptr, &number,
                         &bytes) == ERROR_SUCCESS) {
            return static_cast<std::int32_t>(number);
        }
    }
    return std::nullopt;
}

bool RegistrySettingsStore::Write(std::string_view key, std::string_view name, unsigned long type,
                                  const void* data, unsigned long size) {
    if (!hasKey(key)) return false;
    const std::wstring path = KeyPath(key);
    const std::wstring value = WideFromUtf8(name);
    for (HKEY root : {HKEY_LOCAL_MACHINE, HKEY_CURRENT_USER}) {
        HKEY open = WritableKey(root, path);
        if (!open) continue;
        const bool written = RegSetValueExW(open, value.c_str(), 0, type,
                                            static_cast<const BYTE*>(data), size) == ERROR_SUCCESS;
        RegCloseKey(open);
        if (!written) continue;
        // Read first, the user's older copy would hide the machine's new value.
        if (root == HKEY_LOCAL_MACHINE) {
            HKEY user = nullptr;
            if (RegOpenKeyExW(HKEY_CURRENT_USER, path.c_str(), 0, KEY_SET_VALUE, &user) ==
                ERROR_SUCCESS) {
                RegDeleteValueW(user, value.c_str());
                RegCloseKey(user);
            }
        }
        return true;
    }
    return false;
}

bool RegistrySettingsStore::writeString(std::string_view key, std::string_view name,
                                        std::string_view value) {
    const std::wstring wide = WideFromUtf8(value);
    return Write(key, name, REG_SZ, wide.c_str(),
                 static_cast<unsigned long>((wide.size() + 1) * sizeof(wchar_t)));
}

bool RegistrySettingsStore::writeInt(std::string_view key, std::string_view name,
                                     std::int32_t value) {
    const DWORD number = static_cast<DWORD>(value);
    return Write(key, name, REG_DWORD, &number, sizeof number);
}

}  // namespace zep8
