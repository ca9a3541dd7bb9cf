#include "app/installation.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <iterator>
#include <memory>

#include "app/preferences.h"
#include "app/qsettings_store.h"
#include "platform/memory_settings_store.h"
#include "platform/password_hash.h"
#include "platform/recording_prompter.h"

namespace zep8 {
namespace {

namespace fs = std::filesystem;

// Every case runs on the store in memory and on the INI file store.
class InstallationTest : public ::testing::TestWithParam<bool> {
  protected:
    void SetUp() override {
        dir_ = fs::temp_directory_path() /
               ("zep8-install-" + std::to_string(getpid()) + "-" + std::to_string(counter_++));
        fs::create_directories(dir_);
        if (GetParam()) {
            store_ = std::make_unique<QSettingsStore>((dir_ / "ZEP8.conf").string());
        } else {
            store_ = std::make_unique<MemorySettingsStore>();
        }
    }
    void TearDown() override { fs::remove_all(dir_); }

    std::string makeFile(const std::string& name) {
        const fs::path path = dir_ / name;
        fs::create_directories(path.parent_path());
        std::ofstream(path) << "#!/bin/sh\n";
        return path.string();
    }

    SettingsStore& store() { return *store_; }

    static inline int counter_ = 0;
    fs::path dir_;
    std::unique_ptr<SettingsStore> store_;
    RecordingPrompter prompter_;
};

TEST_P(InstallationTest, PasswordReadAndWriteStatuses) {
    EXPECT_EQ(Preferences(store()).password().status, PASSWORD_KEY_MISSING);
    EXPECT_EQ(Preferences(store()).StorePassword("1111"), PASSWORD_WRITE_KEY_MISSING);
    EXPECT_FALSE(store().hasKey(kProgramKey));

    store().createKey("software\\arvo\\zep8");
    store().writeInt(kProgramKey, "password", 1234);
    const PasswordRead wrongType = Preferences(store()).password();
    EXPECT_EQ(wrongType.status, PASSWORD_VALUE_UNREADABLE);
    EXPECT_EQ(wrongType.password, "902417");

    EXPECT_EQ(Preferences(store()).StorePassword("Пароль 2"), PASSWORD_WRITE_OK);
    EXPECT_EQ(Preferences(store()).password().status, PASSWORD_READ_OK);
    EXPECT_TRUE(IsPasswordHash(Preferences(store()).password().password));
    EXPECT_TRUE(PasswordMatches("Пароль 2", Preferences(store()).password().password));
}

TEST_P(InstallationTest, RecordValuesAreWrittenOnlyWhenAbsent) {
    RecordProgramNames(store(), "7.1.0");
    CheckInstallationRecord(store(), "/opt/zep8/zep8", prompter_);
    EXPECT_EQ(store().readString(kInstallationKey, "name"), "ZEP8v7x");
    EXPECT_EQ(store().readString(kInstallationKey, "version"), "7.1.0");
    EXPECT_EQ(store().readString(kInstallationKey, "description"), "ЗЕП8 v7.x");
    // "application" belongs to the installer: no value, nothing written.
    EXPECT_FALSE(store().readString(kInstallationKey, "application"));
    EXPECT_EQ(prompter_.count(), 0u);

    store().writeString(kInstallationKey, "version", "6.0");
    store().writeInt(kInstallationKey, "description", 7);
    RecordProgramNames(store(), "7.2.0");
    CheckInstallationRecord(store(), "/opt/zep8/zep8", prompter_);
    EXPECT_EQ(store().readString(kInstallationKey, "version"), "6.0");
    EXPECT_EQ(store().readInt(kInstallationKey, "description"), 7);
}

TEST_P(InstallationTest, AnotherInstalledProgramIsOfferedForReplacement) {
    const std::string other = makeFile("old/zep8");
    const std::string self = makeFile("new/zep8");
    store().createKey(kInstallationKey);
    store().writeString(kInstallationKey, "application", "\"" + other + "\"");

    prompter_.scriptAnswer(Answer::No);
    CheckInstallationRecord(store(), self, prompter_);
    ASSERT_EQ(prompter_.count(), 1u);
    const auto message = prompter_.messages()[0];
    EXPECT_EQ(message.text,
              "Вероятно, на вашем компьютере установлено несколько конфигураторов этого "
              "прибора,\nчто не рекомендуется, но допускается.\n\nУстановить запущенный "
              "конфигуратор (\"" +
                  self +
                  "\")\nкак основной или оставить ссылку на конфигуратор прибора ЗЕП8 как она "
                  "сейчас есть\n(\"" +
                  other + "\")?");
    EXPECT_EQ(message.caption, "Конфигуратор ЗЕП-8");
    EXPECT_EQ(message.buttons, Buttons::YesNo);
    EXPECT_EQ(message.icon, Icon::Information);
    EXPECT_EQ(store().readString(kInstallationKey, "application"), "\"" + other + "\"");

    prompter_.scriptAnswer(Answer::Yes);
    CheckInstallationRecord(store(), self, prompter_);
    EXPECT_EQ(store().readString(kInstallationKey, "application"), "\"" + self + "\"");
}

TEST_P(InstallationTest, NoQuestionForTheSameOrAMissingProgram) {
    const std::string self = makeFile("bin/zep8");
    store().createKey(kInstallationKey);

    for (const std::string& registered :
         {"\"" + (dir_ / "gone" / "zep8").string() + "\"", dir_.string(), self}) {
        SCOPED_TRACE(registered);
        store().writeString(kInstallationKey, "application", registered);
        CheckInstallationRecord(store(), self, prompter_);
        EXPECT_EQ(store().readString(kInstallationKey, "application"), registered);
    }
    // Paths compare ignoring case, as the record has always been written.
    CheckInstallationRecord(store(), (dir_ / "BIN" / "ZEP8").string(), prompter_);
    // Through a link it is still this program.
    const fs::path link = dir_ / "zep8-link";
    fs::create_symlink(self, link);
    store().writeString(kInstallationKey, "application", "\"" + link.string() + "\"");
    CheckInstallationRecord(store(), self, prompter_);
    EXPECT_EQ(prompter_.count(), 0u);
}

// A password an earlier version (or another of the maker's configurators)
// kept as plain text, in a file every user could read: the file becomes the
// owner's, the value is checked as it is and never rewritten at start, and a
// changed password is kept as text too, in the form the others read.
TEST(PasswordFile, APlainPasswordOfAnEarlierVersionStaysPlain) {
    const fs::path dir = fs::temp_directory_path() / ("zep8-plain-" + std::to_string(getpid()));
    fs::create_directories(dir);
    const std::string file = (dir / "ZEP8.conf").string();
    const auto contents = [&file] {
        std::ifstream in(file);
        return std::string(std::istreambuf_iterator<char>(in), {});
    };
    {
        QSettingsStore old(file);
        old.createKey(kProgramKey);
        old.writeString(kProgramKey, "password", "4711");
    }
    fs::permissions(file, fs::perms::owner_read | fs::perms::owner_write | fs::perms::group_read |
                              fs::perms::others_read);
    const std::string before = contents();
    ASSERT_NE(before.find("4711"), std::string::npos);

    QSettingsStore store(file);
    EXPECT_EQ(fs::status(file).permissions() & fs::perms::all,
              fs::perms::owner_read | fs::perms::owner_write);
    const std::string kept = Preferences(store).OperatorPassword();
    EXPECT_EQ(kept, "4711");
    EXPECT_TRUE(PasswordMatches("4711", kept));
    EXPECT_FALSE(PasswordMatches("47110", kept));
    EXPECT_EQ(contents(), before);

    ASSERT_EQ(Preferences(store).StorePassword("4712"), PASSWORD_WRITE_OK);
    EXPECT_EQ(Preferences(store).password().password, "4712");
    fs::remove_all(dir);
}

// The form kept is the form written: a hash stays a hash, text stays text. A
// first password is hashed in a store of the program's own, kept as text in
// one other programs read (the registry key the maker's configurators share).
TEST(PasswordForm, AChangedPasswordKeepsTheFormOfTheStore) {
    MemorySettingsStore own;
    MemorySettingsStore shared(true);
    for (MemorySettingsStore* store : {&own, &shared}) {
        store->createKey(kProgramKey);
        ASSERT_EQ(Preferences(*store).StorePassword("1111"), PASSWORD_WRITE_OK);
    }
    EXPECT_TRUE(IsPasswordHash(Preferences(own).OperatorPassword()));
    EXPECT_EQ(Preferences(shared).OperatorPassword(), "1111");

    shared.writeString(kProgramKey, "password", HashPassword("2222"));
    ASSERT_EQ(Preferences(shared).StorePassword("3333"), PASSWORD_WRITE_OK);
    EXPECT_TRUE(PasswordMatches("3333", Preferences(shared).OperatorPassword()));
    EXPECT_TRUE(IsPasswordHash(Preferences(shared).OperatorPassword()));

    own.writeString(kProgramKey, "password", "4444");
    ASSERT_EQ(Preferences(own).StorePassword("5555"), PASSWORD_WRITE_OK);
    EXPECT_EQ(Preferences(own).OperatorPassword(), "5555");
}

INSTANTIATE_TEST_SUITE_P(Stores, InstallationTest, ::testing::Bool(),
                         [](const auto& info) { return info.param ? "Ini" : "Memory"; });

}  // namespace
}  // namespace zep8
