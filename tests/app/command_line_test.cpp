#include "app/command_line.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>

#include "platform/process_state.h"

namespace zep8 {
namespace {

OptionRecord Parse(std::vector<std::string> args) {
    return ParseCommandLine(args);
}

TEST(CommandLine, OneArgumentHoldsSeveralOptionsInAnyCase) {
    const OptionRecord r = Parse({"/WRITE/Port:2/close", "conf.zep"});
    EXPECT_EQ(r.actionFlags,
              ACTION_WRITE_ALL | ACTION_CLOSE | ACTION_AUTOMATION | ACTION_LINK_SETTINGS);
    EXPECT_EQ(r.portNumber, 2);
    EXPECT_FALSE(r.hasOption(OPT_NO_DEVICE));
    EXPECT_EQ(r.fileArgument, "conf.zep");

    const OptionRecord dash = Parse({"-read", "-port:1/bps:9600"});
    EXPECT_TRUE(dash.hasAction(ACTION_READ_ALL));
    EXPECT_EQ(dash.baudRate, 9600u);
    EXPECT_EQ(dash.portNumber, 1);

    const OptionRecord unknown = Parse({"/write/frobnicate:1"});
    EXPECT_EQ(unknown.actionFlags, ACTION_WRITE_ALL | ACTION_AUTOMATION);
}

TEST(CommandLine, NumbersFollowTheScanfRule) {
    EXPECT_EQ(Parse({"/port:0x10"}).portNumber, 16);
    EXPECT_EQ(Parse({"/port:010"}).portNumber, 8);
    EXPECT_EQ(Parse({"/port:0XfF"}).portNumber, 255);
    EXPECT_EQ(Parse({"/port:3abc"}).portNumber, 3);  // the number ends at the first non-digit
    EXPECT_EQ(Parse({"/x:-20"}).x, -20);
    EXPECT_EQ(Parse({"/port:09"}).portNumber, 0);  // octal: 9 is not a digit
    EXPECT_EQ(Parse({"/len:0x1f"}).dataBits, 31);
    EXPECT_EQ(Parse({"/len:+7"}).dataBits, 7);
}

TEST(CommandLine, UnparsableNumberIgnoresTheOption) {
    const OptionRecord bps = Parse({"/bps:fast"});
    EXPECT_EQ(bps.baudRate, 0u);
    EXPECT_EQ(bps.actionFlags, 0u);  // bps turns automation on only with a number

    // "port" is the exception: automation mode even without a number.
    const OptionRecord port = Parse({"/port:com3"});
    EXPECT_EQ(port.actionFlags, ACTION_AUTOMATION);
    EXPECT_TRUE(port.hasOption(OPT_NO_DEVICE));

    // Numbers that do not fit the record are not cut to another value.
    EXPECT_EQ(Parse({"/port:257"}).portNumber, 0);
    EXPECT_EQ(Parse({"/bps:-9600"}).baudRate, 0u);
    EXPECT_EQ(Parse({"/w:99999999999"}).geometryFlags, 0);
    EXPECT_EQ(Parse({"/alen:11"}).addressLength, 11);
    EXPECT_EQ(Parse({"/alen:-1"}).addressLength, 0);
}

TEST(CommandLine, BadParityClearsTheLinkSettingsGivenEarlier) {
    const OptionRecord r = Parse({"/bps:19200/prty:even/prty:xyz"});
    EXPECT_FALSE(r.hasAction(ACTION_LINK_SETTINGS));
    EXPECT_TRUE(r.automation());
    EXPECT_EQ(r.parity, PARITY_EVEN);

    EXPECT_TRUE(Parse({"/prty:xyz/len:7"}).hasAction(ACTION_LINK_SETTINGS));
    EXPECT_EQ(Parse({"/prty:odd"}).parity, PARITY_ODD);
    EXPECT_EQ(Parse({"/prty:NO"}).parity, PARITY_NONE);
}

TEST(CommandLine, NetworkParameterEditLeavesNoPort) {
    for (const char* arg : {"/newnetparam/port:3", "/port:3/newnetparam"}) {
        SCOPED_TRACE(arg);
        const OptionRecord r = Parse({arg, "net.zep"});
        EXPECT_EQ(r.portNumber, 0);
        EXPECT_FALSE(r.hasAction(ACTION_LINK_SETTINGS));
        EXPECT_EQ(r.optionFlags, OPT_NETPARAM_EDIT | OPT_NO_DEVICE);
        EXPECT_TRUE(r.automation());
    }
    EXPECT_TRUE(Parse({"--port=/dev/ttyUSB0", "/newnetparam"}).portPath.empty());
    EXPECT_TRUE(Parse({"/newnetparam", "--port=/dev/ttyUSB0"}).portPath.empty());
    // Other link options still count after it.
    const OptionRecord after = Parse({"/newnetparam/addr:24"});
    EXPECT_EQ(after.address, "24");
    EXPECT_TRUE(after.hasAction(ACTION_LINK_SETTINGS));
}

TEST(CommandLine, AutomationWithoutPortMeansNoDevice) {
    EXPECT_TRUE(Parse({"/read", "out.zep"}).hasOption(OPT_NO_DEVICE));
    EXPECT_FALSE(Parse({"/read/port:1"}).hasOption(OPT_NO_DEVICE));
    EXPECT_FALSE(Parse({"/read", "--port=/dev/ttyUSB0"}).hasOption(OPT_NO_DEVICE));
    EXPECT_FALSE(Parse({"/read", "--simulate"}).hasOption(OPT_NO_DEVICE));
    // Not automation: the interactive run keeps its device.
    EXPECT_EQ(Parse({"a.zep"}).optionFlags, 0);
    const OptionRecord quiet = Parse({"/elog:e.log/exitevent:ev"});
    EXPECT_FALSE(quiet.automation());
    EXPECT_FALSE(quiet.hasOption(OPT_NO_DEVICE));
}

TEST(CommandLine, WindowGeometry) {
    const OptionRecord minimised = Parse({"/w:0/h:0"});
    EXPECT_TRUE(minimised.startMinimised);
    EXPECT_EQ(StartOfWindow(minimised), WindowStart::Minimised);

    const OptionRecord placed = Parse({"/x:10/y:20/w:400/h:300"});
    EXPECT_EQ(StartOfWindow(placed), WindowStart::Placed);
    EXPECT_EQ(placed.geometryFlags, GEOMETRY_X | GEOMETRY_Y | GEOMETRY_WIDTH | GEOMETRY_HEIGHT);
    EXPECT_EQ(placed.x, 10);
    EXPECT_EQ(placed.y, 20);
    EXPECT_EQ(placed.width, 400);
    EXPECT_EQ(placed.height, 300);
    EXPECT_FALSE(placed.startMinimised);

    EXPECT_EQ(StartOfWindow(Parse({"/w:400/h:300"})), WindowStart::Maximised);
    EXPECT_EQ(StartOfWindow(Parse({"/x:10/w:400/h:300"})), WindowStart::Maximised);
    EXPECT_FALSE(Parse({"/w:0"}).startMinimised);
    EXPECT_EQ(StartOfWindow(Parse({"/w:0/h:x"})), WindowStart::Maximised);
    EXPECT_EQ(StartOfWindow(Parse({})), WindowStart::Maximised);
}

TEST(CommandLine, QuotedPathsAndEventNames) {
    const OptionRecord r =
        Parse({"/elog:\"/tmp/Run Logs/Err.log\"/write/exitevent:\"Caller.Exit\""});
    EXPECT_EQ(r.errorLogPath, "/tmp/Run Logs/Err.log");
    EXPECT_EQ(r.exitEventName, "caller.exit");
    EXPECT_TRUE(r.hasAction(ACTION_WRITE_ALL));
    EXPECT_TRUE(r.fileArgument.empty());

    EXPECT_EQ(Parse({"/elog:errors.txt"}).errorLogPath, "errors.txt");
    EXPECT_EQ(Parse({"/exitevent:Plain"}).exitEventName, "plain");
}

TEST(CommandLine, AbsolutePathsAreFiles) {
    const OptionRecord r = Parse({"/read/close", "/home/u/A.zep"});
    EXPECT_EQ(r.fileArgument, "/home/u/A.zep");
    EXPECT_TRUE(r.hasAction(ACTION_READ_ALL | ACTION_CLOSE));

    EXPECT_EQ(Parse({"/home/u/a.zep", "/srv/b.zep"}).fileArgument, "/srv/b.zep");
    EXPECT_EQ(Parse({"/srv/b.zep"}).actionFlags, 0u);
    // A path whose first folder is named like an option still reads as one;
    // "./" or "--" gets it through as a file.
    EXPECT_TRUE(Parse({"/test/a.zep"}).hasOption(OPT_TEST_RUN));
    const OptionRecord ended = Parse({"/write", "--", "/test/a.zep", "-odd.zep"});
    EXPECT_EQ(ended.fileArgument, "-odd.zep");
    EXPECT_FALSE(ended.hasOption(OPT_TEST_RUN));
}

TEST(CommandLine, LongOptions) {
    const OptionRecord r =
        Parse({"--port=/dev/serial/by-id/USB-RS485_A1", "--simulate", "--help", "--version"});
    EXPECT_EQ(r.portPath, "/dev/serial/by-id/USB-RS485_A1");
    EXPECT_EQ(r.portNumber, 0);
    EXPECT_TRUE(r.hasAction(ACTION_LINK_SETTINGS | ACTION_AUTOMATION));
    EXPECT_TRUE(r.simulate && r.help && r.version);

    EXPECT_EQ(Parse({"--dump", "/tmp/X.zep"}).dump, "/tmp/X.zep");
    EXPECT_EQ(Parse({"--dump=/tmp/Y.zep"}).dump, "/tmp/Y.zep");
    EXPECT_TRUE(Parse({"--dump", "/tmp/X.zep"}).fileArgument.empty());

    // The later of the two ways of naming a port wins.
    const OptionRecord both = Parse({"--port=/dev/ttyUSB0", "/port:4"});
    EXPECT_TRUE(both.portPath.empty());
    EXPECT_EQ(both.portNumber, 4);
    EXPECT_EQ(Parse({"/port:4", "--port=/dev/ttyUSB0"}).portNumber, 0);

    const OptionRecord unknown = Parse({"--colour", "--dump"});
    EXPECT_EQ(unknown.actionFlags, 0u);
    EXPECT_TRUE(unknown.dump.empty());
}

TEST(CommandLine, TextValuesLongerThanTheRecordAreIgnored) {
    EXPECT_EQ(Parse({"/addr:12345"}).address, "12345");
    const OptionRecord tooLong = Parse({"/addr:123456/sbit:1.5"});
    EXPECT_TRUE(tooLong.address.empty());
    EXPECT_EQ(tooLong.stopBits, "1.5");
    EXPECT_TRUE(Parse({"/sbit:12345"}).stopBits.empty());
    EXPECT_EQ(Parse({"/addr:"}).actionFlags, 0u);
}

TEST(CommandLine, ModeOptions) {
    EXPECT_EQ(Parse({"/rs485:auto"}).converterMode, CONVERTER_AUTO);
    EXPECT_EQ(Parse({"/rs485:OFF"}).converterMode, CONVERTER_OFF);
    EXPECT_EQ(Parse({"/rs485:on/rs485:maybe"}).converterMode, CONVERTER_ON);

    EXPECT_EQ(Parse({"/silent"}).optionFlags & 0x00FF, 0x002A | OPT_NO_DEVICE);
    EXPECT_EQ(Parse({"/silent/autoread:on"}).optionFlags & 0x000F,
              OPT_AUTOREAD_ON | OPT_AUTOWRITE_OFF);
    EXPECT_EQ(Parse({"/autoread:on/silent"}).optionFlags & 0x000F,
              OPT_AUTOREAD_OFF | OPT_AUTOWRITE_OFF);
    EXPECT_EQ(Parse({"/autowrite:on"}).optionFlags & 0x000F, OPT_AUTOWRITE_ON);

    const OptionRecord r = Parse({"/aply/calibrate/test/port:1"});
    EXPECT_TRUE(r.hasAction(ACTION_APPLY | ACTION_CALIBRATE));
    EXPECT_TRUE(r.hasOption(OPT_TEST_RUN));
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

}  // namespace
}  // namespace zep8
