#include <gtest/gtest.h>

#include "platform/memory_settings_store.h"

namespace zep8 {
namespace {

TEST(MemorySettingsStore, WritesNeedAnExistingKey) {
    MemorySettingsStore store;
    const char* key = "SOFTWARE\\ARVO\\ZEP8";
    EXPECT_FALSE(store.hasKey(key));
    EXPECT_FALSE(store.writeString(key, "password", "1"));
    EXPECT_FALSE(store.readString(key, "password"));
    ASSERT_TRUE(store.createKey(key));
    EXPECT_TRUE(store.hasKey("software\\arvo\\zep8"));
    EXPECT_TRUE(store.writeString(key, "password", "123"));
    EXPECT_EQ(store.readString(key, "PASSWORD"), "123");
}

TEST(MemorySettingsStore, TextAndNumbersAreDistinct) {
    MemorySettingsStore store;
    store.createKey("k");
    EXPECT_TRUE(store.writeInt("k", "baud_rate", 115200));
    EXPECT_EQ(store.readInt("k", "baud_rate"), 115200);
    EXPECT_FALSE(store.readString("k", "baud_rate"));
    EXPECT_TRUE(store.writeString("k", "baud_rate", "x"));
    EXPECT_FALSE(store.readInt("k", "baud_rate"));
    EXPECT_FALSE(store.readInt("k", "missing"));
}

}  // namespace
}  // namespace zep8
