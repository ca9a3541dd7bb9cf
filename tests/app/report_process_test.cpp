// zep8 --report as a calling program runs it: two modules on one line, the
// configuration file differing from them in one value.
#include <gtest/gtest.h>

#include "app/command_line.h"
#include "model/configuration.h"
#include "platform/recording_prompter.h"
#include "support/zep8_process.h"

namespace zep8::testing {
namespace {

using ReportProcessTest = ProcessTest;

std::size_t Count(const std::string& text, const std::string& part) {
    std::size_t n = 0;
    for (std::size_t at = text.find(part); at != std::string::npos; at = text.find(part, at + 1))
        ++n;
    return n;
}

// The file read from the module at 40, then one value changed in it.
void ChangeOneValue(const std::string& path) {
    std::string error;
    const auto bytes = ReadFileBytes(path, error);
    ASSERT_TRUE(bytes) << error;
    Configuration config;
    RecordingPrompter prompter;
    ASSERT_EQ(LoadConfiguration(config.nodes(), *bytes, prompter, nullptr), LoadStatus::Loaded);
    ASSERT_EQ(config.channels.channel(3).GetValue("in.Fd"), "0");
    config.channels.channel(3).SetValue("in.Fd", "7", true);
    ASSERT_EQ(SaveConfigurationFile(path, config.nodes()), std::nullopt);
}

TEST_F(ReportProcessTest, TwoModulesGetASectionEachWithTheirDifferences) {
    const std::string port =
        StartSimulator({"--baud", "115200", "--address", "40", "--address", "48"});
    ASSERT_FALSE(port.empty());
    const std::string line = "--port=" + port + " /bps:115200";
    ASSERT_EQ(Run(line + "/addr:40/read/close '" + File("c.zep") + "'").code, 0);
    ChangeOneValue(File("c.zep"));

    const ProcessOutcome outcome =
        Run(line + " --addresses=40,48 --report='" + File("r.html") + "' '" + File("c.zep") + "'");
    EXPECT_EQ(outcome.code, 0) << outcome.err;
    EXPECT_TRUE(Has(outcome.out, "адрес 40: ZEP-8, версия v7.12; параметров ")) << outcome.out;
    EXPECT_TRUE(Has(outcome.out, "адрес 48: ZEP-8")) << outcome.out;
    EXPECT_EQ(Count(outcome.out, ", отличий 1\n"), 2u) << outcome.out;

    const std::string page = ReadWhole(dir / "r.html");
    EXPECT_TRUE(Has(page, "<h1>Отчёт о приборах ЗЕП8</h1>"));
    EXPECT_TRUE(Has(page, "<h2>Сводка</h2>"));
    EXPECT_LT(page.find("<h2>Сводка</h2>"), page.find("<h2>Прибор по адресу 40</h2>"));
    EXPECT_LT(page.find("<h2>Прибор по адресу 40</h2>"), page.find("<h2>Прибор по адресу 48</h2>"));
    EXPECT_EQ(Count(page, "<p>Обнаружены отличия (1):</p>"), 2u);
    EXPECT_EQ(Count(page, "<tr><td>Вход №4</td><td class=\"name\">in.Fd</td>"), 2u);
    EXPECT_EQ(Count(page, "<td>7</td><td>0</td></tr>"), 2u) << "file 7, module 0";
    // Each module has its own address: the network groups are not compared.
    EXPECT_EQ(Count(page, "Сетевые параметры не сравнивались"), 2u);
}

TEST_F(ReportProcessTest, ASilentModuleIsReportedAndDecidesTheExitCode) {
    const std::string port = StartSimulator({"--baud", "115200", "--address", "40"});
    ASSERT_FALSE(port.empty());
    const ProcessOutcome outcome =
        Run("--port=" + port + " /bps:115200 --addresses=40,48 --report='" + File("r.html") + "'");
    EXPECT_EQ(outcome.code, 202) << outcome.err;
    EXPECT_TRUE(Has(outcome.out, "адрес 48: не отвечает")) << outcome.out;
    const std::string page = ReadWhole(dir / "r.html");
    EXPECT_TRUE(Has(page, "не отвечает: Таймаут при передаче данных (нет связи)"));
    EXPECT_TRUE(Has(page, "<h2>Прибор по адресу 40</h2>"));
}

TEST(ReportOption, IsRefusedWithoutAFileOrBesideAnotherJob) {
    EXPECT_EQ(ParseCommandLine({"--report=r.html", "--simulate"}).usageError, "");
    EXPECT_EQ(ParseCommandLine({"--report=r.html", "--simulate"}).reportPath, "r.html");
    EXPECT_EQ(ParseCommandLine({"--report"}).usageError,
              "zep8: после --report= нужно имя файла отчёта (список параметров: zep8 --help)");
    for (const char* other : {"/write", "/read", "--survey", "/test"}) {
        EXPECT_NE(ParseCommandLine({"--report=r.html", "--simulate", other}).usageError, "")
            << other;
    }
}

}  // namespace
}  // namespace zep8::testing
