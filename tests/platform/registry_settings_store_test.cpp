#include "platform/registry_settings_store.h"

#include <windows.h>

#include <gtest/gtest.h>

#include "platform/wide_text_win32.h"

namespace zep8 {
namespace {

const std::string kPrefix = "Software\\ZEP8 Tests\\";
const std::string kKey = "SOFTWARE\\ARVO\\ZEP8";

// Only the test's own keys, under both roots.
void Forget() {
    for (HKEY root : {HKEY_CURRENT_USER, HKEY_LOCAL_MACHINE})
        RegDeleteTreeW(root, L"Software\\ZEP8 Tests");
}

void PutInUsersKey(const char* name, DWORD value) {
    HKEY key = nullptr;
    ASSERT_EQ(RegCreateKeyExW(HKEY_CURRENT_USER, WideFromUtf8(kPrefix + kKey).c_str(), 0, nullptr,
                              0, KEY_SET_VALUE, nullptr, &key, nullptr),
              ERROR_SUCCESS);
    RegSetValueExW(key, WideFromUtf8(name).c_str(), 0, REG_DWORD,
                   reinterpret_cast<const BYTE*>(&value), sizeof value);
    RegCloseKey(key);
}

// Settings as the program keeps them on Windows: typed values in the
// registry, the user's own copy read first, written where the user may write.
TEST(RegistrySettingsStore, KeepsTypedValuesAndLetsTheNewestWin) {
    Forget();
    RegistrySettingsStore store(kPrefix);
    EXPECT_FALSE(store.hasKey(kKey));
    EXPECT_FALSE(store.writeInt(kKey, "address", 40)) << "no key, no value";
    ASSERT_TRUE(store.createKey(kKey));
    ASSERT_TRUE(store.hasKey(kKey));

    ASSERT_TRUE(store.writeInt(kKey, "baud_rate", 38400));
    ASSERT_TRUE(store.writeInt(kKey, "negative", -5));
    ASSERT_TRUE(store.writeString(kKey, "remote_ports", "rfc2217://стенд:4001\ntcp://h:1"));
    EXPECT_EQ(store.readInt(kKey, "BAUD_RATE"), 38400) << "names compare ignoring case";
    EXPECT_EQ(store.readInt(kKey, "negative"), -5);
    EXPECT_EQ(store.readString(kKey, "remote_ports"), "rfc2217://стенд:4001\ntcp://h:1");
    EXPECT_EQ(store.readString(kKey, "baud_rate"), std::nullopt) << "a number is not a text";
    EXPECT_EQ(store.readInt(kKey, "missing"), std::nullopt);

    // The machine's key takes the writes here (Wine, like an administrator,
    // may write there), as a 32-bit DWORD.
    DWORD raw = 0;
    DWORD size = sizeof raw;
    ASSERT_EQ(RegGetValueW(HKEY_LOCAL_MACHINE, WideFromUtf8(kPrefix + kKey).c_str(), L"baud_rate",
                           RRF_RT_REG_DWORD, nullptr, &raw, &size),
              ERROR_SUCCESS);
    EXPECT_EQ(raw, 38400u);

    // The user's own copy is read first, and a later write to the machine's
    // key takes it away, so that it does not hide the new value.
    PutInUsersKey("address", 48);
    EXPECT_EQ(store.readInt(kKey, "address"), 48);
    ASSERT_TRUE(store.writeInt(kKey, "address", 56));
    EXPECT_EQ(store.readInt(kKey, "address"), 56);
    Forget();
}

}  // namespace
}  // namespace zep8
