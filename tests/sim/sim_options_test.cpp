#include "sim/sim_options.h"

#include <gtest/gtest.h>

#include <vector>

namespace zep8::sim {
namespace {

ParsedOptions Parse(std::vector<std::string_view> args) {
    return ParseSimOptions(args);
}

TEST(SimOptions, StartingSettingsFromTheCommandLine) {
    const ParsedOptions parsed = Parse(
        {"--baud", "115200", "--parity=even", "--address-length", "11", "--address=200", "--delay",
         "0", "--protocol", "ModBUS-RTU", "--timing", "--ignore-broadcast", "--link", "/tmp/zep8"});
    ASSERT_TRUE(parsed.options) << parsed.error;
    const SimOptions& o = *parsed.options;
    EXPECT_EQ(o.settings.baud, 115200);
    EXPECT_EQ(o.settings.parity, Parity::Even);
    EXPECT_EQ(o.settings.addressBits, 11);
    EXPECT_EQ(o.settings.address, 200);
    EXPECT_EQ(o.settings.responseDelayMs, 0);
    EXPECT_EQ(o.settings.protocol, Protocol::ModbusRtu);
    EXPECT_TRUE(o.lineTiming);
    EXPECT_TRUE(o.ignoreBroadcast);
    EXPECT_FALSE(Parse({}).options->ignoreBroadcast);
    EXPECT_EQ(o.linkPath, "/tmp/zep8");
    EXPECT_EQ(Parse({}).options->settings, LineSettings{});
    EXPECT_EQ(Parse({"--protocol", "АРВО"}).options->settings.protocol, Protocol::Own);
}

TEST(SimOptions, RefusesWhatTheModuleCouldNotRunWith) {
    for (const auto& args : std::vector<std::vector<std::string_view>>{
             {"--baud", "7200"},
             {"--baud", "96OO"},
             {"--address", "300"},
             {"--address", "17"},
             {"--address-length", "11", "--address", "300", "--protocol", "dcon"},
             {"--data-bits", "7"},
             {"--stop-bits", "2", "--parity", "odd"},
             {"--delay", "51"},
             {"--parity", "mark"},
             {"--address"},
             {"--speed", "9600"},
         }) {
        const ParsedOptions parsed = Parse(args);
        EXPECT_FALSE(parsed.options) << args[0];
        EXPECT_FALSE(parsed.error.empty()) << args[0];
    }
    EXPECT_TRUE(Parse({"--data-bits", "7", "--parity", "even"}).options);
    EXPECT_TRUE(Parse({"--address", "17", "--protocol", "dcon"}).options);
}

}  // namespace
}  // namespace zep8::sim
