#include "app/qsettings_store.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>

namespace zep8 {
namespace {

constexpr const char* kKey = "SOFTWARE\\ARVO\\ZEP8";

class QSettingsStoreTest : public ::testing::Test {
  protected:
    void SetUp() override {
        dir_ = std::filesystem::temp_directory_path() /
               ("zep8-store-" + std::to_string(getpid()) + "-" +
                ::testing::UnitTest::GetInstance()->current_test_info()->name());
        std::filesystem::create_directories(dir_);
        file_ = (dir_ / "ZEP8.conf").string();
    }
    void TearDown() override { std::filesystem::remove_all(dir_); }

    std::string fileText() const {
        std::ifstream in(file_);
        std::stringstream text;
        text << in.rdbuf();
        return text.str();
    }

    std::filesystem::path dir_;
    std::string file_;
};

TEST_F(QSettingsStoreTest, KeysMustExistAndSurviveWithoutValues) {
    {
        QSettingsStore store(file_);
        EXPECT_FALSE(store.hasKey(kKey));
        EXPECT_FALSE(store.writeString(kKey, "password", "1"));
        EXPECT_FALSE(store.hasKey(kKey));
        ASSERT_TRUE(store.createKey(kKey));
        EXPECT_TRUE(store.hasKey("software\\arvo\\zep8"));
        EXPECT_TRUE(store.hasKey("Software\\ARVO"));  // a parent exists with its child
        EXPECT_FALSE(store.hasKey("Software\\ARVO\\Devices"));
        EXPECT_FALSE(store.hasKey(""));
        EXPECT_FALSE(store.createKey("\\"));
    }
    // An empty key is still there for the next run.
    QSettingsStore again(file_);
    EXPECT_TRUE(again.hasKey(kKey));
    EXPECT_FALSE(again.readString(kKey, "password"));
}

TEST_F(QSettingsStoreTest, ValuesPersistWithTheirTypes) {
    {
        QSettingsStore store(file_);
        ASSERT_TRUE(store.createKey(kKey));
        EXPECT_TRUE(store.writeInt(kKey, "baud_rate", 115200));
        EXPECT_TRUE(store.writeInt(kKey, "address", -2147483647 - 1));
        EXPECT_TRUE(store.writeString(kKey, "password", "902417"));
        EXPECT_TRUE(store.writeString(kKey, "description", "ЗЕП8 v7.x, \"копия\""));
        EXPECT_TRUE(store.writeString(kKey, "odd", "int:5"));
        EXPECT_TRUE(store.writeString(kKey, "odder", "str:x"));
        EXPECT_TRUE(store.writeString(kKey, "empty", ""));
    }
    QSettingsStore store(file_);
    EXPECT_EQ(store.readInt(kKey, "BAUD_RATE"), 115200);
    EXPECT_EQ(store.readInt(kKey, "address"), -2147483647 - 1);
    EXPECT_FALSE(store.readString(kKey, "baud_rate"));
    EXPECT_EQ(store.readString(kKey, "password"), "902417");
    EXPECT_FALSE(store.readInt(kKey, "password"));
    EXPECT_EQ(store.readString(kKey, "description"), "ЗЕП8 v7.x, \"копия\"");
    EXPECT_EQ(store.readString(kKey, "odd"), "int:5");
    EXPECT_FALSE(store.readInt(kKey, "odd"));
    EXPECT_EQ(store.readString(kKey, "odder"), "str:x");
    EXPECT_EQ(store.readString(kKey, "empty"), "");
    EXPECT_FALSE(store.readString(kKey, "missing"));
    EXPECT_FALSE(store.readString("Software\\ARVO\\Devices\\ZEP8v7x", "password"));
}

TEST_F(QSettingsStoreTest, HandEditedFileIsReadWithCare) {
    std::ofstream(file_) << "[software]\n"
                            "arvo\\zep8\\password=4321\n"
                            "arvo\\zep8\\baud_rate=int:9600x\n"
                            "arvo\\zep8\\byte_size=int:99999999999\n"
                            "arvo\\zep8\\list=a, b\n";
    QSettingsStore store(file_);
    EXPECT_TRUE(store.hasKey(kKey));
    EXPECT_EQ(store.readString(kKey, "password"), "4321");
    EXPECT_FALSE(store.readInt(kKey, "baud_rate"));
    EXPECT_FALSE(store.readInt(kKey, "byte_size"));
    EXPECT_FALSE(store.readString(kKey, "list"));
}

TEST_F(QSettingsStoreTest, WriteThatCannotReachTheFileFails) {
    std::ofstream(dir_ / "blocker") << "a file where a folder should be";
    QSettingsStore store((dir_ / "blocker" / "ZEP8.conf").string());
    store.createKey(kKey);
    EXPECT_FALSE(store.writeString(kKey, "password", "1"));
}

TEST_F(QSettingsStoreTest, DefaultFileIsInTheUserConfigFolder) {
    const char* old = std::getenv("XDG_CONFIG_HOME");
    const std::string saved = old ? old : "";
    setenv("XDG_CONFIG_HOME", dir_.c_str(), 1);
    {
        QSettingsStore store;
        EXPECT_EQ(store.fileName(), (dir_ / "ARVO" / "ZEP8.conf").string());
        EXPECT_TRUE(store.createKey(kKey));
    }
    if (old) {
        setenv("XDG_CONFIG_HOME", saved.c_str(), 1);
    } else {
        unsetenv("XDG_CONFIG_HOME");
    }
    EXPECT_TRUE(std::filesystem::exists(dir_ / "ARVO" / "ZEP8.conf"));
}

}  // namespace
}  // namespace zep8
