#include <gtest/gtest.h>

#include "module_client.h"
#include "sim/foreign_frames.h"

namespace zep8::sim {
namespace {

using namespace test;

const std::string kRtuReturn("\x10\x05\xF0\xF0\xFF\x00\xBC\x48", 8);
const std::string kAsciiReturn = ":1005F0F0FF000C\r\n";
const std::string kDconReturn = "%10ARVOBE\r";

TEST(ForeignFrames, CheckSumsOfTheThreeProtocols) {
    const std::uint8_t check[] = {'1', '2', '3', '4', '5', '6', '7', '8', '9'};
    EXPECT_EQ(ModbusCrc(check), 0x4B37);
    const std::uint8_t command[] = {0x10, 0x05, 0xF0, 0xF0, 0xFF, 0x00};
    EXPECT_EQ(ModbusLrc(command), 0x0C);
    EXPECT_EQ(DconChecksum("%10ARVO"), 0xBE);
}

LineSettings Foreign(Protocol protocol) {
    LineSettings s;
    s.protocol = protocol;
    return s;
}

TEST(ForeignProtocol, ModbusRtuEchoesTheReturnCommandAndGoesBack) {
    VirtualModule module(Foreign(Protocol::ModbusRtu));
    EXPECT_EQ(module.framing(), VirtualModule::Framing::Silence);
    EXPECT_FALSE(Ask(module, "dev", true)) << "the own protocol is not heard";
    const auto reply = module.handleFrame(kRtuReturn);
    ASSERT_TRUE(reply);
    EXPECT_EQ(reply->bytes, kRtuReturn);
    EXPECT_EQ(module.activeSettings().protocol, Protocol::Own);
    EXPECT_EQ(module.framing(), VirtualModule::Framing::CarriageReturn);
    EXPECT_EQ(ReadText(module, "Prot"), "АРВО");
    EXPECT_EQ(ReadText(module, "dev"), "ZEP-8");
    EXPECT_EQ(module.foreignReturns(), 1);
}

TEST(ForeignProtocol, ModbusAsciiEchoesTheReturnCommand) {
    VirtualModule module(Foreign(Protocol::ModbusAscii));
    EXPECT_EQ(module.handleFrame(kAsciiReturn.substr(0, kAsciiReturn.size() - 1))->bytes,
              kAsciiReturn)
        << "the line feed belongs to the next read";
    EXPECT_EQ(module.activeSettings().protocol, Protocol::Own);
}

TEST(ForeignProtocol, DconAnswersArvoWithItsAddress) {
    VirtualModule module(Foreign(Protocol::Dcon));
    EXPECT_EQ(module.handleFrame(kDconReturn)->bytes, "!1082\r");
    EXPECT_EQ(module.activeSettings().protocol, Protocol::Own);
}

TEST(ForeignProtocol, IgnoresEverythingButItsOwnReturnCommand) {
    std::string badCrc = kRtuReturn;
    badCrc.back() = '\x49';
    std::string otherAddress = kRtuReturn;
    otherAddress[0] = '\x11';
    for (const auto& [protocol, frame] : std::vector<std::pair<Protocol, std::string>>{
             {Protocol::ModbusRtu, badCrc},
             {Protocol::ModbusRtu, otherAddress},
             {Protocol::ModbusRtu, kRtuReturn + "x"},
             {Protocol::ModbusAscii, ":1005F0F0FF000D\r"},
             {Protocol::ModbusAscii, ":1105F0F0FF000B\r"},
             {Protocol::ModbusAscii, kDconReturn},
             {Protocol::Dcon, "%10ARVOBF\r"},
             {Protocol::Dcon, "%11ARVOBF\r"},
             {Protocol::Dcon, "%10ARVXC7\r"},
             {Protocol::Dcon, RequestText("dev", true)},
         }) {
        VirtualModule module(Foreign(protocol));
        EXPECT_FALSE(module.handleFrame(frame)) << frame;
        EXPECT_EQ(module.activeSettings().protocol, protocol) << frame;
    }
}

TEST(ForeignProtocol, ApplySwitchesToTheWrittenProtocol) {
    VirtualModule module;
    const auto written = WriteText(module, "Prot", "DCON");
    ASSERT_TRUE(written);
    EXPECT_EQ(written->data, Bytes{3});
    EXPECT_EQ(ReadText(module, "dev"), "ZEP-8") << "still the own protocol before APLY";
    Ask(module, "APLY", false);
    EXPECT_EQ(module.activeSettings().protocol, Protocol::Dcon);
    EXPECT_FALSE(Ask(module, "dev", true));
    EXPECT_EQ(module.handleFrame(kDconReturn)->bytes, "!1082\r");
    EXPECT_EQ(ReadText(module, "dev"), "ZEP-8");
    EXPECT_EQ(module.pendingSettings().protocol, Protocol::Own)
        << "an APLY later does not fall back into DCON";
}

}  // namespace
}  // namespace zep8::sim
