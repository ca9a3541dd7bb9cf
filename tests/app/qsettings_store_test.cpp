#include "app/qsettings_store.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>

namespace zep8 {
namespace {

constexpr const char* kKey = "SOFTWARE\\ARVO\\ZEP8";

class QSettingsStoreTest : public ::testing::Test {
  protected:
    void SetUp() override { std::filesystem::create_directories(dir_); }
    void TearDown() override { std::filesystem::remove_all(dir_); }

    const std::filesystem::path dir_ =
        std::filesystem::temp_directory_path() /
        ("zep8-store-" + std::to_string(getpid()) + "-" +
         ::testing::UnitTest::GetInstance()->current_test_info()->name());
    const std::string file_ = (dir_ / "ZEP8.conf").string();
};

TEST_F(QSettingsStoreTest, KeysValuesAndTypesSurviveTheFile) {
    {
        QSettingsStore store(file_);
        EXPECT_FALSE(store.writeString(kKey, "password", "1"));
        EXPECT_FALSE(store.hasKey(kKey));
        ASSERT_TRUE(store.createKey(kKey));
        ASSERT_TRUE(store.createKey("Software\\ARVO\\Empty"));
        EXPECT_TRUE(store.hasKey("Software\\ARVO"));  // a parent exists with its child
        EXPECT_TRUE(store.writeInt(kKey, "baud_rate", -2147483647 - 1));
        EXPECT_TRUE(store.writeString(kKey, "description", "ЗЕП8 v7.x, \"копия\""));
        EXPECT_TRUE(store.writeString(kKey, "odd", "int:5"));
    }
    QSettingsStore store(file_);
    EXPECT_TRUE(store.hasKey("software\\arvo\\empty"));
    EXPECT_EQ(store.readInt(kKey, "BAUD_RATE"), -2147483647 - 1);
    EXPECT_FALSE(store.readString(kKey, "baud_rate"));
    EXPECT_EQ(store.readString(kKey, "description"), "ЗЕП8 v7.x, \"копия\"");
    EXPECT_EQ(store.readString(kKey, "odd"), "int:5");
    EXPECT_FALSE(store.readInt(kKey, "odd"));
}

TEST_F(QSettingsStoreTest, HandEditedValuesAreCheckedAndFailedWritesReported) {
    std::ofstream(file_) << "[software]\narvo\\zep8\\password=4321\n"
                            "arvo\\zep8\\baud_rate=int:9600x\narvo\\zep8\\list=a, b\n";
    QSettingsStore store(file_);
    EXPECT_EQ(store.readString(kKey, "password"), "4321");
    EXPECT_FALSE(store.readInt(kKey, "baud_rate"));
    EXPECT_FALSE(store.readString(kKey, "list"));

    std::ofstream(dir_ / "blocker") << "a file where a folder should be";
    QSettingsStore blocked((dir_ / "blocker" / "ZEP8.conf").string());
    blocked.createKey(kKey);
    EXPECT_FALSE(blocked.writeString(kKey, "password", "1"));
}

TEST_F(QSettingsStoreTest, DefaultFileIsInTheUserConfigFolder) {
    const char* old = std::getenv("XDG_CONFIG_HOME");
    const std::string saved = old ? old : "";
    setenv("XDG_CONFIG_HOME", dir_.c_str(), 1);
    const std::string name = QSettingsStore().fileName();
    old ? setenv("XDG_CONFIG_HOME", saved.c_str(), 1) : unsetenv("XDG_CONFIG_HOME");
    EXPECT_EQ(name, (dir_ / "ARVO" / "ZEP8.conf").string());
}

std::string Contents(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), {});
}

TEST_F(QSettingsStoreTest, ADamagedFileIsKeptUntilTheOperatorChangesASetting) {
    const std::string damaged =
        std::string("[software/arvo/zep8]\nbaud_rate=int:9600\n\x01\xff no equals sign\n[broken\n");
    std::ofstream(file_, std::ios::binary) << damaged;
    {
        QSettingsStore store(file_);
        EXPECT_NE(store.damageNotice().find(file_), std::string::npos);
        EXPECT_FALSE(store.readInt(kKey, "baud_rate"));  // the defaults, not half a file
        // The program's own start-up writes leave the file alone.
        ASSERT_TRUE(store.createKey(kKey));
        EXPECT_TRUE(store.writeString(kKey, "name", "ZEP8v7x"));
        EXPECT_EQ(Contents(file_), damaged);
        store.startupWritten();
        EXPECT_TRUE(store.writeInt(kKey, "baud_rate", 19200));
        EXPECT_EQ(store.damageNotice(), "");
        EXPECT_EQ(store.readString(kKey, "name"), "ZEP8v7x");
    }
    EXPECT_EQ(Contents(file_ + ".damaged"), damaged);
    QSettingsStore again(file_);
    EXPECT_EQ(again.damageNotice(), "");
    EXPECT_EQ(again.readInt(kKey, "baud_rate"), 19200);
    EXPECT_EQ(again.readString(kKey, "name"), "ZEP8v7x");

    // A folder where the file should be cannot be read either.
    std::filesystem::remove(file_);
    std::filesystem::create_directories(file_);
    EXPECT_NE(QSettingsStore(file_).damageNotice(), "");
}

}  // namespace
}  // namespace zep8
