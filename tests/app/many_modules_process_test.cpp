// Several modules on one line, as a commissioning engineer meets them: the
// survey kept as a table, one configuration written to a list of modules.
#include <sstream>

#include "support/zep8_process.h"

namespace zep8 {
namespace {

using testing::Has;

std::vector<std::string> Lines(const std::string& text) {
    std::vector<std::string> lines;
    std::istringstream in(text);
    for (std::string line; std::getline(in, line);) lines.push_back(line);
    return lines;
}

class ManyModules : public testing::ProcessTest {
  protected:
    std::string StartLine(std::vector<std::string> addresses) {
        std::vector<std::string> options{"--baud", "115200"};
        for (const std::string& a : addresses) options.insert(options.end(), {"--address", a});
        return StartSimulator(options);
    }
};

TEST_F(ManyModules, TheSurveySavedAsATableListsExactlyTheModulesThere) {
    const std::string port = StartLine({"40", "48", "56"});
    const testing::ProcessOutcome run =
        Run("--survey --port=" + port + " /bps:115200 --csv='" + File("список.csv") + "'");
    EXPECT_EQ(run.code, 0) << run.err;
    const std::vector<std::string> lines = Lines(testing::ReadWhole(File("список.csv")));
    ASSERT_EQ(lines.size(), 4u) << run.err;
    EXPECT_EQ(lines[0], "адрес;скорость;формат;прибор;версия;время ответа");
    for (std::size_t i = 1; i < 4; ++i) {
        const std::string start = std::to_string(32 + 8 * i) + ";115200;8N1;ZEP-8;v7.12;20";
        EXPECT_EQ(lines[i].rfind(start, 0), 0u) << lines[i];
        EXPECT_EQ(lines[i].size(), start.size() + 17) << "and the time, 2026-12-07T14:03:05";
    }

    const testing::ProcessOutcome nowhere =
        Run("--survey --port=" + port + " /bps:115200 --csv=/nonexistent/список.csv");
    EXPECT_EQ(nowhere.code, 200);
    EXPECT_TRUE(Has(nowhere.err, "zep8: Список приборов не сохранен: ")) << nowhere.err;
}

TEST_F(ManyModules, OneConfigurationToThreeModulesOneSilent) {
    const std::string file = File("стенд.zep");
    ASSERT_EQ(Run("--simulate /read/close '" + file + "'").code, 0);  // address 16, 9600 baud
    const std::string port = StartLine({"40", "48"});
    const std::string link = "--port=" + port + " /bps:115200";

    const testing::ProcessOutcome batch = Run(link + " --addresses=40,48,56 /write/close '" + file +
                                              "' --csv='" + File("итог.csv") + "'");
    EXPECT_EQ(batch.code, 202) << batch.err;
    const std::vector<std::string> lines = Lines(batch.out);
    ASSERT_EQ(lines.size(), 3u) << batch.out;
    EXPECT_EQ(lines[0].rfind("адрес 40: ZEP-8 v7.12; записано 73, ошибок 0, отличий 0; ", 0), 0u)
        << lines[0];
    EXPECT_TRUE(lines[0].ends_with("; записан и проверен")) << lines[0];
    EXPECT_EQ(lines[1].rfind("адрес 48: ZEP-8 v7.12; записано 73, ошибок 0, отличий 0; ", 0), 0u)
        << lines[1];
    EXPECT_EQ(lines[2].rfind("адрес 56: не опознан; ", 0), 0u) << lines[2];
    EXPECT_TRUE(Has(lines[2], "нет ответа")) << lines[2];
    EXPECT_TRUE(Has(batch.err, "zep8: прибор не отвечает: адрес 56: нет ответа")) << batch.err;
    EXPECT_EQ(Lines(testing::ReadWhole(File("итог.csv"))).size(), 4u);

    // The file's network group (address 16, 9600 baud) went to neither module.
    for (const char* address : {"40", "48"}) {
        const testing::ProcessOutcome still = Run(link + "/addr:" + address + " /test");
        EXPECT_EQ(still.code, 0) << address << ": " << still.err;
    }

    // Every module a survey finds: both answer, so no failure.
    const testing::ProcessOutcome surveyed =
        Run(link + " --addresses=survey /write/close '" + file + "'");
    EXPECT_EQ(surveyed.code, 0) << surveyed.err;
    EXPECT_EQ(Lines(surveyed.out).size(), 2u) << surveyed.out;

    // One module's address and a list are refused before anything opens.
    const testing::ProcessOutcome both =
        Run(link + " --addresses=40,48 /addr:16/write '" + file + "'");
    EXPECT_EQ(both.code, 2);
    EXPECT_TRUE(Has(both.err, "--addresses= не задается вместе с /addr:")) << both.err;
}

// --simulate with a list starts a module at every address.
TEST_F(ManyModules, TheSimulationPutsAModuleAtEveryListedAddress) {
    const std::string file = File("a.zep");
    ASSERT_EQ(Run("--simulate /read/close '" + file + "'").code, 0);
    const testing::ProcessOutcome run =
        Run("--simulate /bps:115200 --addresses=40,48 /write/close '" + file + "'");
    EXPECT_EQ(run.code, 0) << run.err;
    EXPECT_EQ(Lines(run.out).size(), 2u) << run.out;
}

}  // namespace
}  // namespace zep8
