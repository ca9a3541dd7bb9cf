#include "app/document.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <iterator>

#include "app/command_line.h"
#include "app/installation.h"
#include "app/preferences.h"
#include "app/qsettings_store.h"
#include "link/serial/serial_port.h"
#include "model/configuration_file.h"
#include "platform/memory_settings_store.h"
#include "platform/password_hash.h"
#include "platform/process_state.h"
#include "platform/recording_prompter.h"
#include "sim/simulated_module.h"
#include "support/built_program.h"
#include "support/device_on_pty.h"

namespace zep8 {
namespace {

namespace fs = std::filesystem;

std::string Contents(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), {}};
}

class NoWindows : public DocumentUi {
  public:
    bool PortSetupSaysExit(Device&) override {
        ++portSetups;
        return portSetupExit;
    }
    bool ApplyDialog(Device&) override { return ++applyDialogs, false; }
    int portSetups = 0;
    int applyDialogs = 0;
    bool portSetupExit = true;
};

class DocumentOnModule : public ::testing::Test {
  protected:
    void SetUp() override {
        processState().reset();
        std::string error;
        ASSERT_TRUE(simulated.start(error)) << error;
        NetRS485prg program;
        Preferences(store).LoadProgramSettings(program);
        program.SetValue("Port", simulated.portPath(), false);
        program.SetValue("bPS", "115200", false);
        Preferences(store).StoreProgramSettings(program);
        dir = fs::temp_directory_path() /
              ("zep8-doc-" + std::to_string(getpid()) + "-" +
               ::testing::UnitTest::GetInstance()->current_test_info()->name());
        fs::remove_all(dir);
        fs::create_directories(dir);
    }
    void TearDown() override {
        document.reset();
        simulated.stop();
        fs::remove_all(dir);
        processState().reset();
    }

    // An automated run needs the port named, or it talks to no module at all.
    std::string Port() { return "--port=" + simulated.portPath(); }

    // `settings`: a store of the test's own instead of the one in memory.
    Document& Start(const std::vector<std::string>& args, SettingsStore* settings = nullptr) {
        DocumentSetup setup;
        setup.options = ParseCommandLine(args);
        processState().optionFlags = setup.options.optionFlags;
        processState().actionFlags = setup.options.actionFlags;
        setup.password = settings ? Preferences(*settings).OperatorPassword() : "902417";
        setup.programPath = (dir / "bin" / "zep8").string();
        setup.info = ProgramInfo{"1.0", "(C)", "Linux"};
        setup.openHelp = [this](const std::string& file, std::function<void()> failed) {
            helpOpened = file;
            helpFailed = std::move(failed);
        };
        setup.failureLine = failureLine;
        document = std::make_unique<Document>(std::make_unique<SerialPort>(),
                                              settings ? *settings : store, prompter, ui, setup);
        document->device().SetObserver(&observer);
        document->device().SetFinishHold(std::chrono::milliseconds(0));
        return *document;
    }
    std::string File(const char* name) { return (dir / name).string(); }
    sim::VirtualModule& module() { return simulated.module(); }

    sim::SimulatedModule simulated{testing::FastLine()};
    MemorySettingsStore store;
    RecordingPrompter prompter;
    testing::RecordingObserver observer;
    NoWindows ui;
    std::unique_ptr<Document> document;
    fs::path dir;
    std::string helpOpened;
    std::function<void()> helpFailed;  // what the viewer calls when it fails
    std::function<void(int, const std::string&)> failureLine;  // the window's, when set
};

TEST_F(DocumentOnModule, StartFindsTheModuleAndReadsIntoAFile) {
    Document& doc = Start({"/read", "/close", Port(), File("a.zep")});
    EXPECT_TRUE(doc.linkFound());
    EXPECT_EQ(doc.serviceNode().parameters()[2]->value, "Linux");
    ASSERT_TRUE(doc.OpenDocument(File("a.zep")));  // a new file takes the name
    EXPECT_EQ(doc.title(), "a.zep");
    ASSERT_TRUE(doc.ReadAll());
    EXPECT_TRUE(fs::exists(File("a.zep")));  // saved at the end of the automated read

    // Reopened in a fresh run, the file holds what was read.
    document.reset();
    processState().reset();
    module().setValue("in.Fd", 3, 77);
    Document& again = Start({});
    ASSERT_TRUE(again.OpenDocument(File("a.zep")));
    EXPECT_EQ(again.device().commonNode.GetValue("dev"), "ZEP-8");
    EXPECT_EQ(again.device().channelsNode.channel(3).GetValue("in.Fd"), "0");
}

// A file written on a Russian desktop may hold "2,5": the module gets 2.5, and
// a value with text after its number is not written at all.
TEST_F(DocumentOnModule, FileValuesWithADecimalCommaAreWrittenWhole) {
    Document& doc = Start({"/read", "/close", Port(), File("a.zep")});
    ASSERT_TRUE(doc.OpenDocument(File("a.zep")));
    ASSERT_TRUE(doc.ReadAll());
    Channel& third = doc.device().channelsNode.channel(2);
    third.SetValue("in.SH", "2,5", true);
    third.SetValue("in.FG", "1,05abc", true);
    std::ofstream(File("comma.zep"), std::ios::binary) << SaveConfiguration(doc.nodes());

    document.reset();
    processState().reset();
    Document& writer = Start({"/write", "/close", Port(), File("comma.zep")});
    ASSERT_TRUE(writer.OpenDocument(File("comma.zep")));
    const std::optional<double> bandBefore = module().value("in.FG", 2);
    writer.WriteAll();
    EXPECT_EQ(module().value("in.SH", 2), 2.5);
    EXPECT_EQ(module().value("in.FG", 2), bandBefore);
    EXPECT_EQ(writer.device().channelsNode.channel(2).FindParameter("in.FG")->errorText,
              "Неверное значение (неудается закодировать данные)");
}

TEST_F(DocumentOnModule, MissingFileForWriteIsAnError) {
    Document& doc = Start({"/write", File("missing.zep")});
    EXPECT_FALSE(doc.OpenDocument(File("missing.zep")));
    EXPECT_EQ(processState().ExitStatus(), 1u);
}

// A file named for /read that does not load may be another version's: the
// run ends with a file error (200) and leaves it as it was.
TEST_F(DocumentOnModule, AReadDoesNotReplaceAFileThatDoesNotLoad) {
    std::ofstream(File("text.zep")) << "plain text";
    Document& doc = Start({"/read", "/close", Port(), File("text.zep")});
    EXPECT_FALSE(doc.Start());
    EXPECT_EQ(processState().ExitStatus(), std::uint32_t{EXIT_FILE_ERROR});
    EXPECT_EQ(prompter.messages().back().caption, "Ошибка открытия файла");

    document.reset();
    processState().reset();
    Document& empty = Start({});
    std::string bytes = SaveConfiguration(empty.nodes());
    bytes[2] = 4;  // a schema this version does not know
    std::ofstream(File("schema.zep"), std::ios::binary) << bytes;
    document.reset();
    processState().reset();
    Document& reader = Start({"/read", "/close", Port(), File("schema.zep")});
    EXPECT_FALSE(reader.Start());
    EXPECT_EQ(processState().ExitStatus(), std::uint32_t{EXIT_FILE_ERROR});
    document.reset();
    EXPECT_EQ(Contents(File("text.zep")), "plain text");
    EXPECT_EQ(Contents(File("schema.zep")), bytes);
}

// Once the automated action is done the watcher clears the command line's
// action: a file the operator opens later is the operator's, and a new name
// is taken for what is read or saved next, also in a /write run.
TEST_F(DocumentOnModule, AfterTheAutomatedWriteAMissingFileOpensAsANewName) {
    Document& writer = Start({"/write", Port(), File("w.zep")});
    ASSERT_FALSE(writer.SaveDocument(File("w.zep")));
    ASSERT_TRUE(writer.Start());
    processState().actionFlags = 0;  // as the automation watcher leaves it
    EXPECT_TRUE(writer.OpenDocument(File("later.zep")));
    EXPECT_EQ(writer.title(), "later.zep");
    EXPECT_EQ(processState().ExitStatus(), 0u);
}

// An automated read whose file cannot be saved: the run's failure line, no
// box for nobody to click (the window's run gives the line).
TEST_F(DocumentOnModule, AFailedSaveAfterAnAutomatedReadGivesTheLineNotABox) {
    std::vector<std::pair<int, std::string>> lines;
    failureLine = [&lines](int code, const std::string& reason) {
        lines.emplace_back(code, reason);
    };
    Document& doc = Start({"/read", "/close", Port(), File("missing-dir/a.zep")});
    ASSERT_TRUE(doc.Start());
    const std::size_t before = prompter.count();
    ASSERT_TRUE(doc.ReadAll());
    EXPECT_EQ(prompter.count(), before);
    ASSERT_EQ(lines.size(), 1u);
    EXPECT_EQ(lines[0].first, 200);
    EXPECT_NE(lines[0].second.find("missing-dir"), std::string::npos) << lines[0].second;
    EXPECT_EQ(processState().ExitStatus() & EXIT_FILE_ERROR, std::uint32_t{EXIT_FILE_ERROR});
}

TEST_F(DocumentOnModule, DamagedDocumentKeepsTheConfiguration) {
    Document& doc = Start({});
    doc.device().netNode.SetValue("Addr", "32", false);
    std::string bytes = SaveConfiguration(doc.nodes());
    bytes[2] = 4;
    FILE* f = fopen(File("b.zep").c_str(), "wb");
    fwrite(bytes.data(), 1, bytes.size(), f);
    fclose(f);
    doc.device().netNode.SetValue("Addr", "48", false);
    EXPECT_FALSE(doc.OpenDocument(File("b.zep")));
    EXPECT_EQ(doc.device().netNode.GetValue("Addr"), "48");
    EXPECT_EQ(prompter.messages().back().text, "Данные в файле испорчены!");
}

TEST_F(DocumentOnModule, NetworkParameterEditRunRewritesTheFileAndEnds) {
    {
        Document& doc = Start({});
        doc.device().netNode.SetValue("Addr", "16", false);
        doc.device().netNode.SetValue("Prot", "АРВО", false);
        ASSERT_FALSE(doc.SaveDocument(File("c.zep")));
    }
    document.reset();
    processState().reset();
    module().resetCounters();
    Document& doc = Start({"/newnetparam/bps:19200/addr:32/port:3", File("c.zep")});
    EXPECT_FALSE(doc.OpenDocument(File("c.zep")));
    EXPECT_EQ(module().total().received, 0);  // no module is asked

    document.reset();
    processState().reset();
    Document& check = Start({});
    ASSERT_TRUE(check.OpenDocument(File("c.zep")));
    EXPECT_EQ(check.device().netNode.GetValue("bPS"), "19200");
    EXPECT_EQ(check.device().netNode.GetValue("Addr"), "32");
    EXPECT_EQ(check.device().netNode.GetValue("PrtY"), "Нет данных");  // not given
    EXPECT_EQ(check.device().netNode.GetValue("Prot"), "АРВО");        // not a link option
}

TEST_F(DocumentOnModule, AWrongParityOptionCancelsTheLinkOptions) {
    // The port comes first: "prty:xyz" takes back every link option before it.
    Document& doc = Start({Port(), "/read/bps:19200/prty:even/prty:xyz"});
    EXPECT_EQ(doc.device().programNet().GetValue("bPS"), "115200");
    EXPECT_EQ(doc.device().programNet().GetValue("PrtY"), "Отсутствует");
    EXPECT_TRUE(doc.linkFound());
}

TEST_F(DocumentOnModule, LinkOptionsOverrideTheProgramSettingsForTheRun) {
    Document& doc = Start({"/read/bps:57600/addr:24", Port()});
    EXPECT_EQ(doc.device().programNet().GetValue("bPS"), "57600");
    EXPECT_EQ(doc.device().port().settings.baseAddress, 24);
    EXPECT_FALSE(doc.linkFound());  // the module is at 115200 and address 16
    EXPECT_EQ(ui.portSetups, 0);    // automated: no dialog
}

TEST_F(DocumentOnModule, TestRunEndsAfterTheLinkCheck) {
    Document& doc = Start({"/test", Port()});
    EXPECT_TRUE(doc.linkFound());
    EXPECT_TRUE(doc.startupCancelled());
    EXPECT_FALSE(doc.NewDocument());
}

TEST_F(DocumentOnModule, NoModuleInAnInteractiveRunOpensThePortSetup) {
    simulated.stop();
    Document& doc = Start({});
    EXPECT_FALSE(doc.linkFound());
    EXPECT_EQ(ui.portSetups, 1);
    EXPECT_TRUE(doc.startupCancelled());
    EXPECT_FALSE(doc.OpenDocument(File("x.zep")));
}

TEST_F(DocumentOnModule, FactoryResetNeedsThePasswordAndTheOperatorsConsent) {
    Document& doc = Start({});
    ASSERT_TRUE(doc.ReadAll());
    module().setValue("in.Fd", 2, 9);
    ASSERT_TRUE(doc.ReadAll());

    prompter.scriptText("wrong");
    doc.FactoryReset();
    EXPECT_EQ(prompter.messages().back().text, "Пароль не верен!");
    EXPECT_DOUBLE_EQ(*module().value("in.Fd", 2), 9);

    prompter.scriptText("902417");
    prompter.scriptAnswer(Answer::Ok);  // the "allowed" notice
    prompter.scriptAnswer(Answer::Cancel);
    doc.FactoryReset();
    EXPECT_EQ(prompter.messages().back().caption, "Восстановление заводских установок прибора");
    EXPECT_DOUBLE_EQ(*module().value("in.Fd", 2), 9);

    doc.device().netWriteEnabled = false;
    module().setAttributes("in.Fd", 2, 0x02);  // locked
    prompter.scriptAnswer(Answer::Ok);
    doc.FactoryReset();
    EXPECT_DOUBLE_EQ(*module().value("in.Fd", 2), 0);
    EXPECT_EQ(*module().attributes("in.Fd", 2), 0x03);   // editable again
    EXPECT_EQ(module().count("RS.dL").answered, 2 + 1);  // the network group was written too
    EXPECT_FALSE(doc.device().netWriteEnabled.load());
    EXPECT_FALSE(doc.device().channelsNode.channel(2).FindParameter("in.Fd")->IsPending());
}

TEST_F(DocumentOnModule, PasswordChangeTakesEffectNextTime) {
    Document& doc = Start({});
    doc.ChangePassword("nope", "1", "1");
    EXPECT_EQ(prompter.messages().back().text, "Старый пароль введен неверно!");
    doc.ChangePassword("902417", "1", "2");
    EXPECT_EQ(prompter.messages().back().text,
              "Новый пароль введен неверно\n (значения не совпадают)!");
    doc.ChangePassword("902417", "4321", "4321");
    EXPECT_EQ(prompter.messages().back().text, "Пароль изменен");
    EXPECT_TRUE(PasswordMatches("4321", Preferences(store).password().password));
    doc.ChangePassword("4321", "5", "5");  // the running program still holds the old one
    EXPECT_EQ(prompter.messages().back().text, "Старый пароль введен неверно!");
}

// The settings file holds a hash of the password, and only its owner reads it.
TEST_F(DocumentOnModule, ThePasswordIsKeptHashedInAPrivateFile) {
    const fs::path file = dir / "config" / "ZEP8.conf";
    QSettingsStore settings(file.string());
    NetRS485prg program;
    Preferences(store).LoadProgramSettings(program);
    Preferences(settings).StoreProgramSettings(program);
    const auto checked = [this](const char* typed) {
        prompter.scriptText(typed);
        return document->device().CheckPassword();
    };

    Document& doc = Start({}, &settings);
    EXPECT_FALSE(checked("9024170"));
    EXPECT_TRUE(checked("902417"));  // the default, while none is stored
    doc.ChangePassword("902417", "s3cret-7", "s3cret-7");
    EXPECT_EQ(prompter.messages().back().text, "Пароль изменен");
    EXPECT_EQ(fs::status(file).permissions() & fs::perms::all,
              fs::perms::owner_read | fs::perms::owner_write);
    std::ifstream in(file);
    const std::string text{std::istreambuf_iterator<char>(in), {}};
    EXPECT_EQ(text.find("s3cret"), std::string::npos) << text;
    EXPECT_NE(text.find("$y$"), std::string::npos) << text;

    document.reset();
    processState().reset();
    Start({}, &settings);
    EXPECT_FALSE(checked("902417"));
    EXPECT_TRUE(checked("s3cret-7"));
    document.reset();  // before the store it uses
}

TEST_F(DocumentOnModule, HelpOpensTheManualUnderTheProgramsPrefix) {
    Document& doc = Start({});
    doc.Help();
    EXPECT_EQ(prompter.messages().back().text,
              "Файл справки не был найден!\nПопробуйте найти его самостоятельно.");
    EXPECT_EQ(prompter.messages().back().caption, "Не найден файл...");
    EXPECT_EQ(helpOpened, "");
    // Installed as PREFIX/bin/zep8 and PREFIX/share/zep8/zep8.html.
    fs::create_directories(dir / "share" / "zep8");
    FILE* f = fopen(File("share/zep8/zep8.html").c_str(), "w");
    fclose(f);
    const std::size_t before = prompter.count();
    doc.Help();
    EXPECT_EQ(helpOpened, File("share/zep8/zep8.html"));
    EXPECT_EQ(prompter.count(), before);
    // A viewer that fails after the command has returned says so as well.
    ASSERT_TRUE(helpFailed);
    helpFailed();
    EXPECT_EQ(prompter.count(), before + 1);
    EXPECT_EQ(prompter.messages().back().caption, "Не найден файл...");
}

// The build tree holds the manual where "Справка" of the built program finds it.
TEST(Manual, BuiltBesideTheProgram) {
    EXPECT_EQ(ManualPath("/opt/zep8/bin/zep8"), "/opt/zep8/share/zep8/zep8.html");
    const fs::path manual = ManualPath(zep8::test::BuiltProgram(ZEP8_BINARY));
    EXPECT_TRUE(fs::is_regular_file(manual)) << manual;
}

TEST_F(DocumentOnModule, AutomatedApplyMovesTheProgramToTheNewAddress) {
    Document& doc = Start({"/write/aply", Port(), File("d.zep")});
    ASSERT_TRUE(doc.ReadAll());
    doc.device().netNode.SetValue("Addr", "40", true);
    ASSERT_TRUE(doc.WriteChanged());  // the write leaves a network change: apply it
    EXPECT_EQ(module().activeSettings().address, 40);
    EXPECT_EQ(doc.device().programNet().GetValue("Addr"), "40");
    EXPECT_EQ(doc.device().port().settings.baseAddress, 40);
    EXPECT_FALSE(processState().networkChanged.load());
    EXPECT_EQ(ui.applyDialogs, 0);
}

TEST_F(DocumentOnModule, ClosingWhileLoggingEndsTheLog) {
    Document& doc = Start({});
    Channels& channels = doc.device().channelsNode;
    channels.logSwitch.value = File("poll");
    channels.loggingOn = true;
    document.reset();
    std::ifstream log(File("poll.log"));
    std::string empty, stopped, when;
    std::getline(log, empty);
    std::getline(log, stopped);
    std::getline(log, when);
    EXPECT_EQ(empty, "");
    EXPECT_EQ(stopped, "Протоколирование остановлено в ");
    EXPECT_GE(when.size(), 20u);  // "Mon Dec  7 20:53:15 2026"
}

TEST_F(DocumentOnModule, ProgramSettingsAreKeptForTheNextRun) {
    {
        Document& doc = Start({});
        doc.device().programNet().SetValue("Addr", "24", true);
    }
    document.reset();
    EXPECT_EQ(store.readInt("SOFTWARE\\ARVO\\ZEP8", "address"), 24);
}

}  // namespace
}  // namespace zep8
