#include "sim/simulated_line.h"

#include <gtest/gtest.h>

#include <vector>

#include "module_client.h"
#include "serial_end.h"
#include "sim/sim_options.h"

namespace zep8::sim {
namespace {

using namespace test;

std::string DecodedValue(std::string_view name, const std::string& reply, bool indexed) {
    const ReplyFrame frame = ParseReplyText(reply);
    if (!frame.checksumOk || frame.hash != hash_name(name)) return "<no reply>";
    MyConverter c{std::string(name)};
    c.ConvertFromData(frame.data.data(), frame.data.size(), indexed);
    return c.value;
}

TEST(SharedLine, EachModuleAnswersItsOwnAddressWithItsOwnParameters) {
    const std::vector<int> addresses{40, 48};
    SimulatedLine line(LineSettings{}, addresses);
    line.module(1).setIdentity("ZEP-8M", "v7.20");
    std::string error;
    ASSERT_TRUE(line.start(error)) << error;
    SerialEnd port(line.portPath());

    EXPECT_EQ(DecodedValue("dev", port.exchange(RequestText("dev", true, {}, 40)), false), "ZEP-8");
    EXPECT_EQ(DecodedValue("dev", port.exchange(RequestText("dev", true, {}, 48)), false),
              "ZEP-8M");
    EXPECT_EQ(port.exchange(RequestText("dev", true, {}, 56), '\r', std::chrono::milliseconds(200)),
              "")
        << "nobody lives at 56";

    // A write at 48 reaches that module only.
    MyConverter filter("in.Fd");
    filter.value = "1200";
    Bytes data;
    ASSERT_EQ(filter.ConvertToData(data), MyConverter::CONVERT_OK);
    port.exchange(RequestText("in.Fd", false, Concat(data, Index(3)), 48));
    EXPECT_EQ(line.moduleAt(48)->value("in.Fd", 3), 1200);
    EXPECT_NE(line.moduleAt(40)->value("in.Fd", 3), 1200);
    EXPECT_EQ(line.moduleAt(56), nullptr);
    // The measured values of module 48's third input, at 48 + 2.
    EXPECT_TRUE(ParseReplyText(port.exchange(RequestText("rEAd", true, {}, 50))).checksumOk);
    EXPECT_EQ(line.module(0).count("rEAd").received, 0);

    // "Any module" reaches both: their replies collide into noise.
    const std::string both = port.exchange(RequestText("dev", true, {}, 255));
    EXPECT_EQ(both, std::string(both.size() - 1, '?') + '\r');
    line.module(0).setIgnoreBroadcast(true);
    EXPECT_EQ(DecodedValue("dev", port.exchange(RequestText("dev", true, {}, 255)), false),
              "ZEP-8M");
}

TEST(SharedLine, TheSimulatorTakesAnAddressPerModule) {
    const std::vector<std::string_view> args{"--address", "40", "--address=48", "--address", "56"};
    const ParsedOptions parsed = ParseSimOptions(args);
    ASSERT_TRUE(parsed.options) << parsed.error;
    EXPECT_EQ(parsed.options->addresses, (std::vector<int>{40, 48, 56}));
    EXPECT_EQ(parsed.options->settings.address, 40);
    EXPECT_EQ(ParseSimOptions({}).options->addresses, std::vector<int>{16});

    for (const auto& bad : std::vector<std::vector<std::string_view>>{
             {"--address", "40", "--address", "40"}, {"--address", "40", "--address", "44"}}) {
        const ParsedOptions refused = ParseSimOptions(bad);
        EXPECT_FALSE(refused.options) << bad[3];
        EXPECT_FALSE(refused.error.empty());
    }
}

}  // namespace
}  // namespace zep8::sim
