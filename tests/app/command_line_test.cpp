#include "app/command_line.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <sstream>

#include "platform/process_state.h"

namespace zep8 {
namespace {

OptionRecord Parse(std::vector<std::string> args) {
    return ParseCommandLine(args);
}

constexpr std::uint32_t kLink = ACTION_AUTOMATION | ACTION_LINK_SETTINGS;

TEST(CommandLine, TokensNamesAndNumbers) {
    const OptionRecord r = Parse({"/WRITE/Port:2/close/frobnicate", "-bps:0x2580", "conf.zep"});
    EXPECT_EQ(r.actionFlags, kLink | ACTION_WRITE_ALL | ACTION_CLOSE);
    EXPECT_EQ(r.portNumber, 2);
    EXPECT_EQ(r.baudRate, 9600u);
    EXPECT_EQ(r.optionFlags, 0);
    EXPECT_EQ(r.fileArgument, "conf.zep");

    EXPECT_EQ(Parse({"/port:010"}).portNumber, 8);
    EXPECT_EQ(Parse({"/port:3abc"}).portNumber, 3);  // the number ends at the first non-digit
    EXPECT_EQ(Parse({"/x:-20"}).x, -20);
    // Not a number, or not one the field can hold: ignored, not cut to another value.
    EXPECT_EQ(Parse({"/bps:fast"}).actionFlags, 0u);
    EXPECT_EQ(Parse({"/port:09"}).portNumber, 0);
    EXPECT_EQ(Parse({"/port:257"}).portNumber, 0);
    EXPECT_EQ(Parse({"/alen:-1"}).actionFlags, 0u);
    EXPECT_EQ(Parse({"/w:99999999999"}).geometryFlags, 0);
    EXPECT_EQ(Parse({"/bps:0x1000000000000000A"}).actionFlags, 0u);
    // "port" alone turns automation on even without a number.
    EXPECT_EQ(Parse({"/port:com3"}).actionFlags, ACTION_AUTOMATION);
    // Too long for the record: ignored rather than cut to a different address.
    EXPECT_EQ(Parse({"/addr:12345/sbit:1.5"}).address, "12345");
    EXPECT_EQ(Parse({"/addr:123456/sbit:12345"}).actionFlags, 0u);
}

TEST(CommandLine, OrderDependentLinkRules) {
    const OptionRecord parity = Parse({"/bps:19200/prty:even/prty:xyz"});
    EXPECT_EQ(parity.actionFlags, ACTION_AUTOMATION);
    EXPECT_EQ(parity.parity, PARITY_EVEN);
    EXPECT_EQ(Parse({"/prty:xyz/len:7"}).actionFlags, kLink);

    const std::vector<std::vector<std::string>> netParamRuns = {
        {"/newnetparam/port:3"},
        {"/port:3/newnetparam"},
        {"/newnetparam", "--port=/dev/ttyUSB0"},
        {"--port=/dev/ttyUSB0", "/newnetparam"},
    };
    for (const auto& args : netParamRuns) {
        SCOPED_TRACE(args.front());
        const OptionRecord r = ParseCommandLine(args);
        EXPECT_EQ(r.portNumber, 0);
        EXPECT_TRUE(r.portPath.empty());
        EXPECT_EQ(r.actionFlags, ACTION_AUTOMATION);
        EXPECT_EQ(r.optionFlags, OPT_NETPARAM_EDIT | OPT_NO_DEVICE);
    }
    // Later link options still count, and the later way of naming a port wins.
    EXPECT_EQ(Parse({"/newnetparam/addr:24"}).actionFlags, kLink);
    EXPECT_EQ(Parse({"--port=/dev/ttyUSB0", "/port:4"}).portPath, "");
    EXPECT_EQ(Parse({"/port:4", "--port=/dev/ttyUSB0"}).portNumber, 0);
}

TEST(CommandLine, AfterParseRules) {
    EXPECT_TRUE(Parse({"/read", "out.zep"}).hasOption(OPT_NO_DEVICE));
    EXPECT_FALSE(Parse({"/read/port:1"}).hasOption(OPT_NO_DEVICE));
    EXPECT_FALSE(Parse({"/read", "--port=/dev/ttyUSB0"}).hasOption(OPT_NO_DEVICE));
    EXPECT_FALSE(Parse({"/read", "--simulate"}).hasOption(OPT_NO_DEVICE));
    EXPECT_EQ(Parse({"/elog:e.log/exitevent:ev"}).optionFlags, 0);  // not automation

    EXPECT_TRUE(Parse({"/w:0/h:0"}).startMinimised);
    EXPECT_EQ(StartOfWindow(Parse({"/w:0/h:0"})), WindowStart::Minimised);
    const OptionRecord placed = Parse({"/x:10/y:20/w:400/h:300"});
    EXPECT_EQ(StartOfWindow(placed), WindowStart::Placed);
    EXPECT_EQ(std::vector({placed.x, placed.y, placed.width, placed.height}),
              std::vector({10, 20, 400, 300}));
    EXPECT_EQ(StartOfWindow(Parse({"/w:400/h:300"})), WindowStart::Maximised);
    EXPECT_EQ(StartOfWindow(Parse({"/x:10/w:400/h:300"})), WindowStart::Maximised);
    EXPECT_EQ(StartOfWindow(Parse({"/w:0/h:x"})), WindowStart::Maximised);
}

TEST(CommandLine, PathsNamesAndLongOptions) {
    const OptionRecord r =
        Parse({"/elog:\"/tmp/Run Logs/Err.log\"/read/exitevent:\"Caller.Exit\"", "/home/u/A.zep",
               "--port=/dev/serial/by-id/USB-RS485_A1", "--dump", "/tmp/X.zep", "--colour"});
    EXPECT_EQ(r.errorLogPath, "/tmp/Run Logs/Err.log");
    EXPECT_EQ(r.exitEventName, "caller.exit");
    EXPECT_EQ(r.fileArgument, "/home/u/A.zep");
    EXPECT_EQ(r.portPath, "/dev/serial/by-id/USB-RS485_A1");
    EXPECT_EQ(r.dump, "/tmp/X.zep");
    EXPECT_EQ(r.actionFlags, kLink | ACTION_READ_ALL);
    EXPECT_EQ(r.unknownOption, "--colour");

    EXPECT_EQ(Parse({"/srv/b.zep"}).actionFlags, 0u);
    EXPECT_EQ(Parse({"--dump=/tmp/Y.zep"}).dump, "/tmp/Y.zep");
    // A path whose first folder is named like an option is one; "--" lets it through.
    EXPECT_TRUE(Parse({"/test/a.zep"}).hasOption(OPT_TEST_RUN));
    EXPECT_EQ(Parse({"--", "/test/a.zep"}).fileArgument, "/test/a.zep");
}

// A "--" option the program does not know is kept (the first one) for the
// refusal; known ones, "/" options and what follows "--" are not.
TEST(CommandLine, UnknownLongOptionsAreKept) {
    const OptionRecord r = Parse({"--simulate", "--frobnicate", "--colour=red", "/read"});
    EXPECT_EQ(r.unknownOption, "--frobnicate");
    EXPECT_EQ(UnknownOptionText(r.unknownOption),
              "zep8: неизвестный параметр --frobnicate (список параметров: zep8 --help)");
    for (const std::vector<std::string>& args : std::vector<std::vector<std::string>>{
             {"--help", "--version", "--headless", "--doctor", "--survey", "--all-speeds",
              "--trace"},
             {"--port=/dev/ttyUSB0", "--dump=a.zep", "--simulate=factory", "--dump"},
             {"/frobnicate", "-frobnicate", "/srv/a.zep"},
             {"--", "--frobnicate"}}) {
        EXPECT_EQ(Parse(args).unknownOption, "") << args.front();
    }
    EXPECT_EQ(Parse({"--HELP"}).unknownOption, "--HELP");
    EXPECT_EQ(kUsageErrorCode, 2);
}

// A list of modules for one job; a bad list, or one beside the single
// module's /addr:, is refused as a whole before anything opens.
TEST(CommandLine, AddressListsForSeveralModules) {
    const OptionRecord list = Parse({"--port=/dev/ttyUSB0", "--addresses=40,48,56", "/write"});
    EXPECT_EQ(list.addresses, (std::vector<int>{40, 48, 56}));
    EXPECT_TRUE(list.manyModules());
    EXPECT_EQ(RefusalText(list), "");
    EXPECT_TRUE(Parse({"--addresses=SURVEY"}).addressSurvey);
    EXPECT_FALSE(Parse({"/write"}).manyModules());

    EXPECT_EQ(RefusalText(Parse({"--addresses=40,48", "/addr:16/write"})),
              "zep8: --addresses= не задается вместе с /addr: (список параметров: zep8 --help)");
    EXPECT_EQ(RefusalText(Parse({"--addresses=40,4x"})),
              "zep8: неверный адрес \"4x\" в --addresses=: нужны базовые адреса, кратные 8 "
              "(0, 8, 16 ...), через запятую (список параметров: zep8 --help)");
    for (const char* bad : {"--addresses=", "--addresses", "--addresses=41", "--addresses=40,,48",
                            "--addresses=2048", "--addresses=-8", "--addresses=40,40"}) {
        EXPECT_NE(RefusalText(Parse({bad})), "") << bad;
    }
    // An unknown option is told first.
    EXPECT_EQ(RefusalText(Parse({"--addresses=41", "--frobnicate"})),
              UnknownOptionText("--frobnicate"));
}

TEST(CommandLine, ModeOptions) {
    EXPECT_EQ(Parse({"/rs485:OFF"}).converterMode, CONVERTER_OFF);
    EXPECT_EQ(Parse({"/rs485:on/rs485:maybe"}).converterMode, CONVERTER_ON);
    EXPECT_EQ(Parse({"/silent"}).optionFlags, 0x002A | OPT_NO_DEVICE);
    // Bits only accumulate: the window decides what "on" beside "off" means.
    EXPECT_EQ(Parse({"/silent/autoread:on/port:1"}).optionFlags, 0x002A | OPT_AUTOREAD_ON);
}

TEST(CommandLine, ErrorLogIsCreatedEmpty) {
    const auto dir =
        std::filesystem::temp_directory_path() / ("zep8-elog-" + std::to_string(getpid()));
    std::filesystem::create_directories(dir);
    const std::string path = (dir / "errors.log").string();
    std::ofstream(path) << "old run\n";
    EXPECT_TRUE(CreateErrorLog(path));
    EXPECT_EQ(std::filesystem::file_size(path), 0u);
    EXPECT_FALSE(CreateErrorLog((dir / "missing" / "errors.log").string()));
    std::filesystem::remove_all(dir);
}

// --help lists the parser's own options: each listed name is one it takes.
TEST(CommandLine, HelpListsWhatTheParserTakes) {
    std::istringstream help(OptionHelp());
    int listed = 0;
    for (std::string line; std::getline(help, line);) {
        const std::string name = line.substr(3, line.find_first_of(": ", 3) - 3);
        EXPECT_TRUE(Parse({"/" + name}).fileArgument.empty()) << name;
        ++listed;
    }
    EXPECT_EQ(listed, 24);
}

}  // namespace
}  // namespace zep8
