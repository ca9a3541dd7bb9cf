#include "model/configuration_file.h"

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>

#include "model/archive_reader.h"
#include "model/archive_writer.h"
#include "model/channels.h"
#include "model/common.h"
#include "model/common_params.h"
#include "model/net_rs485.h"
#include "platform/codepage.h"
#include "platform/event.h"
#include "platform/process_state.h"
#include "platform/recording_prompter.h"

namespace zep8 {
namespace {

// A whole configuration as the program builds it.
struct Configuration {
    explicit Configuration(ProgramInfo info = {"1.2.3", "(C) test", "Linux 6.1 x86_64"})
        : service(std::move(info)) {
        service.InitParameters();
        net.InitParameters();
        common.InitParameters();
        channels.InitParameters();
    }
    ConfigurationNodes nodes() { return {service, net, common, channels}; }
    std::string Save() { return SaveConfiguration(nodes()); }

    CommonParams service;
    NetRS485 net;
    Common common;
    Channels channels;
};

std::string ByteText(std::initializer_list<int> values) {
    std::string s;
    for (int v : values) s += static_cast<char>(v);
    return s;
}

class ConfigurationFile : public ::testing::Test {
  protected:
    void SetUp() override { processState().reset(); }
    void TearDown() override { processState().reset(); }

    LoadStatus Load(Configuration& into, std::string_view bytes) {
        return LoadConfiguration(into.nodes(), bytes, prompter, &abort);
    }

    RecordingPrompter prompter;
    Event abort{Event::Reset::Manual};
};

TEST_F(ConfigurationFile, OpeningBytes) {
    Configuration config;
    const std::string expected = ByteText({0xFF, 0xFF, 0x03, 0x00, 0x08, 0x00}) + "CZEP8Doc" +
                                 ByteText({0xFF, 0xFF, 0x02, 0x00, 0x10, 0x00}) + "InvisibleElement" +
                                 ByteText({0x1D}) + Utf8ToCp1251("Сервисные параметры программы") +
                                 ByteText({0x03, 0x00, 0x00, 0x00, 0xDE, 0x1D, 0xFF, 0xFF});
    EXPECT_EQ(config.Save().substr(0, expected.size()), expected);
}

TEST_F(ConfigurationFile, EntryBytesAndClassReferences) {
    Configuration config;
    config.channels.SetValue("Cj-.C", "Включен", false);
    const std::string entry = ByteText({0x68, 0xFA, 0xFF, 0xFF, 0x03, 0x80, 0x05}) + "Cj-.C" +
                              ByteText({0x07}) + Utf8ToCp1251("Включен") + ByteText({0x04, 0x80, 0x0C}) +
                              Utf8ToCp1251("Режим работы") +
                              ByteText({0x00, 0, 0, 0, 0, 0, 0, 0, 0, 0x00, 0x01, 0x00, 0, 0, 0});
    const std::string saved = config.Save();
    EXPECT_NE(saved.find(entry), std::string::npos);

    // Full class records appear once each; every later node and entry refers by number.
    for (const char* name :
         {"CZEP8Doc", "InvisibleElement", "MyConverter", "Parameter", "Device"}) {
        const auto first = saved.find(name);
        ASSERT_NE(first, std::string::npos) << name;
        EXPECT_EQ(saved.find(name, first + 1), std::string::npos) << name;
    }
    const std::size_t parameters = 3 + 8 + 3 + 1 + 8 * 9;
    const std::size_t nodes = 1 + 3 + 8;
    auto count = [&](const std::string& needle) {
        std::size_t n = 0;
        for (auto at = saved.find(needle); at != std::string::npos;
             at = saved.find(needle, at + 1)) {
            ++n;
        }
        return n;
    };
    EXPECT_EQ(count(ByteText({0x02, 0x80})), nodes - 1);
    EXPECT_EQ(count(ByteText({0x03, 0x80})), parameters - 1);
    EXPECT_EQ(count(ByteText({0x04, 0x80})), parameters - 1);
}

TEST_F(ConfigurationFile, RoundTripGivesIdenticalBytes) {
    Configuration config;
    config.net.SetValue("Addr", "32", true);
    config.net.FindParameter("Addr")->errorText = "Таймаут при передаче данных (нет связи)";
    config.channels.channel(6).SetValue("in-t", "Датчик –50…+50мВ", true);
    config.channels.channel(6).FindParameter("in-t")->note = "печь №2";
    config.channels.channel(6).FindParameter("Itrl")->pendingWrite = true;
    config.channels.channel(1).caption = "Котёл";
    const std::string first = config.Save();

    Configuration fresh;
    ASSERT_EQ(Load(fresh, first), LoadStatus::Loaded);
    EXPECT_EQ(prompter.count(), 0u);
    EXPECT_EQ(fresh.Save(), first);
    const Parameter& type = *fresh.channels.channel(6).FindParameter("in-t");
    EXPECT_EQ(type.value, "Датчик –50…+50мВ");
    EXPECT_TRUE(type.changed);
    EXPECT_EQ(type.note, "печь №2");
    EXPECT_TRUE(fresh.channels.channel(6).FindParameter("Itrl")->pendingWrite);
    EXPECT_EQ(fresh.channels.channel(1).caption, "Котёл");
    EXPECT_EQ(fresh.net.FindParameter("Addr")->errorText,
              "Таймаут при передаче данных (нет связи)");
}

TEST_F(ConfigurationFile, AttributeBitsAreNotStored) {
    Configuration config;
    config.net.FindParameter("bPS")->attrEditable = false;
    const std::string saved = config.Save();
    Configuration fresh;
    fresh.net.FindParameter("bPS")->attrFactory = true;
    ASSERT_EQ(Load(fresh, saved), LoadStatus::Loaded);
    EXPECT_TRUE(fresh.net.FindParameter("bPS")->attrEditable);
    EXPECT_TRUE(fresh.net.FindParameter("bPS")->attrFactory);
}

TEST_F(ConfigurationFile, DocumentVersions) {
    Configuration config;
    config.net.SetValue("Addr", "64", false);
    std::string saved = config.Save();

    saved[2] = 2;
    Configuration older;
    ASSERT_EQ(Load(older, saved), LoadStatus::Loaded);
    EXPECT_EQ(older.net.GetValue("Addr"), "64");

    saved[2] = '\xFF';
    saved[3] = '\xFF';
    Configuration unversioned;
    EXPECT_EQ(Load(unversioned, saved), LoadStatus::Loaded);
    saved[3] = 0;

    saved[2] = 4;
    Configuration newer;
    const std::string before = newer.Save();
    EXPECT_EQ(Load(newer, saved), LoadStatus::DamagedDocument);
    EXPECT_EQ(newer.Save(), before);
    ASSERT_EQ(prompter.count(), 1u);
    EXPECT_EQ(prompter.messages()[0].text, "Данные в файле испорчены!");
    EXPECT_EQ(prompter.messages()[0].caption, "Ошибка открытия файла!");
    EXPECT_EQ(prompter.messages()[0].icon, Icon::Warning);
    EXPECT_EQ(processState().ExitStatus(), 0u);
}

TEST_F(ConfigurationFile, UnknownEntriesAreSkippedSilently) {
    Configuration config;
    config.net.FindParameter("Sbit")->name = "Xyz";  // stored under a key nobody has
    config.net.SetValue("Sbit", "2", false);
    config.net.FindParameter("Xyz")->value = "2";
    config.net.SetValue("Addr", "32", false);
    Configuration fresh;
    ASSERT_EQ(Load(fresh, config.Save()), LoadStatus::Loaded);
    EXPECT_EQ(prompter.count(), 0u);
    EXPECT_EQ(fresh.net.GetValue("Sbit"), "Нет данных");
    EXPECT_EQ(fresh.net.GetValue("Addr"), "32");
}

TEST_F(ConfigurationFile, InputEntriesLoadOnlyIntoTheirOwnInput) {
    Configuration config;
    config.channels.channel(3).SetValue("in.Fd", "7", false);
    Configuration fresh;
    ASSERT_EQ(Load(fresh, config.Save()), LoadStatus::Loaded);
    for (int i = 0; i < kInputCount; ++i) {
        EXPECT_EQ(fresh.channels.channel(i).GetValue("in.Fd"), i == 3 ? "7" : "Нет данных") << i;
    }
}

TEST_F(ConfigurationFile, ServiceEntriesAllLandOnTheLastBlankName) {
    Configuration config;
    Configuration fresh(ProgramInfo{"9.9", "(C) other", "Other OS"});
    ASSERT_EQ(Load(fresh, config.Save()), LoadStatus::Loaded);
    const auto& rows = fresh.service.parameters();
    EXPECT_EQ(rows[0]->value, "9.9");
    EXPECT_EQ(rows[1]->value, "(C) other");
    EXPECT_EQ(rows[2]->value, "Linux 6.1 x86_64");
    EXPECT_EQ(rows[2]->name, "   ");
}

TEST_F(ConfigurationFile, EveryCutLeavesTheConfigurationUntouched) {
    Configuration config;
    config.net.SetValue("Addr", "32", true);
    config.channels.channel(7).SetValue("dP", "2", true);
    const std::string saved = config.Save();

    Configuration target;
    target.net.SetValue("bPS", "19200", true);
    target.channels.channel(0).SetValue("in-t", "ТХА(K)", false);
    const std::string before = target.Save();
    for (std::size_t cut = 0; cut < saved.size(); ++cut) {
        processState().SetExitStatus(0);
        abort.reset();
        prompter.clear();
        ASSERT_EQ(Load(target, saved.substr(0, cut)), LoadStatus::FormatError) << cut;
        ASSERT_EQ(prompter.count(), 1u);
        ASSERT_EQ(target.Save(), before) << cut;
        ASSERT_EQ(processState().ExitStatus(), 1u);
        ASSERT_TRUE(abort.isSet());
    }
    const auto message = prompter.messages()[0];
    EXPECT_EQ(message.text,
              "Неверный формат данных! Возможно это устаревшая версия файла.\n\n"
              "Попробуйте открыть файл другой версией конфигуратора.");
    EXPECT_EQ(message.caption, "Ошибка открытия файла");
    EXPECT_EQ(message.icon, Icon::Warning);
    ASSERT_EQ(Load(target, saved), LoadStatus::Loaded);
    EXPECT_EQ(target.Save(), saved);
}

TEST_F(ConfigurationFile, HugeCountsAndLengthsFailAtOnce) {
    ArchiveWriter out;
    out.WriteClass("CZEP8Doc", 3);
    out.WriteClass("InvisibleElement", 2);
    out.WriteString("x");
    out.WriteInt(0x7FFFFFFF);
    Configuration config;
    EXPECT_EQ(Load(config, out.bytes()), LoadStatus::FormatError);

    ArchiveWriter longCaption;
    longCaption.WriteClass("CZEP8Doc", 3);
    longCaption.WriteClass("InvisibleElement", 2);
    const std::string text =
        ByteText({0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0, 0, 0, 0x10, 0, 0, 0, 0});
    EXPECT_EQ(Load(config, longCaption.bytes() + text), LoadStatus::FormatError);
}

TEST(ArchiveReader, StringForms) {
    const std::string wideBytes = ByteText({0xFF, 0xFE, 0xFF, 0x03, 0x14, 0x04, 0x30, 0x04, 0, 0});
    ArchiveReader wide(wideBytes);
    EXPECT_EQ(wide.ReadString(), "Да");
    EXPECT_EQ(wide.remaining(), 0u);

    const std::string longText(300, 'a');
    ArchiveWriter out;
    out.WriteString(longText);
    EXPECT_EQ(out.bytes().substr(0, 3), ByteText({0xFF, 0x2C, 0x01}));
    EXPECT_EQ(ArchiveReader(out.bytes()).ReadString(), longText);

    const std::string dwordBytes = ByteText({0xFF, 0xFF, 0xFF, 0x02, 0, 0, 0}) + "ab";
    ArchiveReader dword(dwordBytes);
    EXPECT_EQ(dword.ReadString(), "ab");
    const std::string longForm =
        ByteText({0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 3, 0, 0, 0, 0, 0, 0, 0}) + "abc";
    ArchiveReader eightBytes(longForm);
    EXPECT_EQ(eightBytes.ReadString(), "abc");
    EXPECT_EQ(ArchiveReader(ByteText({5}) + std::string("ab\0cd", 5)).ReadString(), "ab");
    EXPECT_EQ(ArchiveReader(ByteText({2, 0xC4, 0xE0})).ReadString(), "Да");

    EXPECT_THROW(ArchiveReader(ByteText({5, 'a'})).ReadString(), ArchiveError);
    EXPECT_THROW(ArchiveReader(ByteText({0xFF, 0xFE, 0xFF, 0x10, 0, 0})).ReadString(), ArchiveError);
    EXPECT_THROW(ArchiveReader(ByteText({0xFF})).ReadString(), ArchiveError);
}

TEST(ArchiveReader, ClassRecords) {
    auto record = [](std::string_view name, int schema) {
        return ByteText({0xFF, 0xFF, schema, 0, static_cast<int>(name.size()), 0}) + std::string(name);
    };
    const std::string records = record("InvisibleElement", 2) + record("Parameter", 2) +
                                ByteText({0x01, 0x80}) + ByteText({0xFF, 0x7F, 0x02, 0, 0, 0x80});
    ArchiveReader in(records);
    EXPECT_EQ(in.ReadClass("ObjectWithParameters").name, "InvisibleElement");
    EXPECT_EQ(in.ReadClass("MyConverter").name, "Parameter");  // a derived class will do
    EXPECT_EQ(in.ReadClass("InvisibleElement").schema, 2);
    EXPECT_EQ(in.ReadClass("Parameter").name, "Parameter");

    EXPECT_THROW(ArchiveReader(record("Unknown", 2)).ReadClass("InvisibleElement"), ArchiveError);
    EXPECT_THROW(ArchiveReader(record(std::string(64, 'A'), 2)).ReadClass("Device"), ArchiveError);
    EXPECT_THROW(ArchiveReader(record("Parameter", 2)).ReadClass("InvisibleElement"), ArchiveError);
    EXPECT_THROW(ArchiveReader(ByteText({0x01, 0x00})).ReadClass("Device"), ArchiveError);
    EXPECT_THROW(ArchiveReader(ByteText({0x01, 0x80})).ReadClass("Device"), ArchiveError);
    EXPECT_THROW(ArchiveReader(ByteText({0x00, 0x80})).ReadClass("Device"), ArchiveError);
    EXPECT_THROW(ArchiveReader(ByteText({0xFF, 0xFF, 2, 0, 6, 0}) + "Dev").ReadClass("Device"),
                 ArchiveError);
}

class SafeSave : public ::testing::Test {
  protected:
    void SetUp() override {
        dir = std::filesystem::temp_directory_path() /
              ("zep8-save-" + std::to_string(getpid()) + "-" +
               ::testing::UnitTest::GetInstance()->current_test_info()->name());
        std::filesystem::remove_all(dir);
        std::filesystem::create_directories(dir);
    }
    void TearDown() override { std::filesystem::remove_all(dir); }
    std::size_t Entries() {
        return static_cast<std::size_t>(std::distance(std::filesystem::directory_iterator(dir),
                                                      std::filesystem::directory_iterator()));
    }

    std::filesystem::path dir;
    Configuration config;
};

TEST_F(SafeSave, WritesAndReplacesKeepingTheMode) {
    const std::string path = (dir / "a.zep").string();
    ASSERT_FALSE(SaveConfigurationFile(path, config.nodes()));
    std::string error;
    EXPECT_EQ(ReadFileBytes(path, error), config.Save());

#ifndef _WIN32  // Windows files have no such mode
    chmod(path.c_str(), 0640);
#endif
    config.net.SetValue("Addr", "48", true);
    ASSERT_FALSE(SaveConfigurationFile(path, config.nodes()));
    EXPECT_EQ(ReadFileBytes(path, error), config.Save());
#ifndef _WIN32
    struct stat st {};
    stat(path.c_str(), &st);
    EXPECT_EQ(st.st_mode & 0777, 0640u);
#endif
    EXPECT_EQ(Entries(), 1u);  // no temporary file left behind
}

TEST_F(SafeSave, FailureKeepsWhatWasThere) {
    const auto occupied = dir / "b.zep";
    std::filesystem::create_directories(occupied / "inside");
    const auto error = SaveConfigurationFile(occupied.string(), config.nodes());
    ASSERT_TRUE(error);
    EXPECT_NE(error->find(occupied.string()), std::string::npos);
    EXPECT_TRUE(std::filesystem::exists(occupied / "inside"));
    EXPECT_EQ(Entries(), 1u);

    const std::string missing = (dir / "missing" / "c.zep").string();
    EXPECT_TRUE(SaveConfigurationFile(missing, config.nodes()));
    std::string readError;
    EXPECT_FALSE(ReadFileBytes(missing, readError));
    EXPECT_NE(readError.find("Не удалось открыть файл"), std::string::npos);
}

}  // namespace
}  // namespace zep8
