#include "link/foreign/foreign_frame.h"

#include <gtest/gtest.h>

#include "link/foreign/foreign_status_text.h"
#include "platform/process_state.h"

namespace zep8 {
namespace {

using Bytes = std::vector<std::uint8_t>;

std::string Chars(std::initializer_list<int> values) {
    std::string s;
    for (int v : values) s += static_cast<char>(v);
    return s;
}

TEST(ForeignFrame, ReturnCommandInEachProtocol) {
    EXPECT_EQ(BuildForeignFrame(PROTOCOL_MODBUS_RTU, 16, kModbusReturnCommand),
              Chars({0x10, 0x05, 0xF0, 0xF0, 0xFF, 0x00, 0xBC, 0x48}));
    EXPECT_EQ(BuildForeignFrame(PROTOCOL_MODBUS_ASCII, 16, kModbusReturnCommand),
              ":1005F0F0FF000C\r\n");
    const Bytes arvo(kDconReturnCommand.begin(), kDconReturnCommand.end());
    EXPECT_EQ(BuildForeignFrame(PROTOCOL_DCON, 16, arvo), "%10ARVOBE\r");
}

TEST(ForeignFrame, Checksums) {
    const Bytes request{0x01, 0x03, 0x00, 0x00, 0x00, 0x0A};  // a textbook ModBus request
    EXPECT_EQ(ModbusCrc(request), 0xCDC5);
    EXPECT_EQ(ModbusLrc(request), 0xF2);
    EXPECT_EQ(ModbusLrc(Bytes{}), 0x00);
    EXPECT_EQ(DconChecksum("!10"), 0x82);
}

TEST(ForeignFrame, RtuReplies) {
    Bytes data;
    const std::string echo = BuildForeignFrame(PROTOCOL_MODBUS_RTU, 16, kModbusReturnCommand);
    EXPECT_EQ(ParseForeignReply(PROTOCOL_MODBUS_RTU, 16, echo, data), FOREIGN_OK);
    EXPECT_EQ(data, Bytes(std::begin(kModbusReturnCommand), std::end(kModbusReturnCommand)));
    EXPECT_EQ(ParseForeignReply(PROTOCOL_MODBUS_RTU, 17, echo, data), FOREIGN_ADDRESS);
    std::string damaged = echo;
    damaged[2] ^= 1;
    EXPECT_EQ(ParseForeignReply(PROTOCOL_MODBUS_RTU, 16, damaged, data), FOREIGN_CHECKSUM);
    EXPECT_EQ(ParseForeignReply(PROTOCOL_MODBUS_RTU, 16, "\x10", data), FOREIGN_MALFORMED);
    EXPECT_EQ(ParseForeignReply(PROTOCOL_MODBUS_RTU, 16, Chars({0xFF, 0xFF}), data),
              FOREIGN_ADDRESS);  // a valid CRC of nothing
}

TEST(ForeignFrame, AsciiReplies) {
    Bytes data;
    EXPECT_EQ(ParseForeignReply(PROTOCOL_MODBUS_ASCII, 16, ":1005F0F0FF000C\r\n", data),
              FOREIGN_OK);
    EXPECT_EQ(data.size(), 5u);
    EXPECT_EQ(ParseForeignReply(PROTOCOL_MODBUS_ASCII, 16, ":1005f0f0ff000c\r\n", data),
              FOREIGN_OK);
    EXPECT_EQ(ParseForeignReply(PROTOCOL_MODBUS_ASCII, 16, ":1005F0F0FF000D\r\n", data),
              FOREIGN_CHECKSUM);
    EXPECT_EQ(ParseForeignReply(PROTOCOL_MODBUS_ASCII, 16, ":1005F0F0FF0\r\n", data),
              FOREIGN_MALFORMED);  // an odd number of digits
    EXPECT_EQ(ParseForeignReply(PROTOCOL_MODBUS_ASCII, 16, ":1005F0F0FF000C", data),
              FOREIGN_MALFORMED);  // no carriage return
    EXPECT_EQ(ParseForeignReply(PROTOCOL_MODBUS_ASCII, 16, ":1\r", data), FOREIGN_MALFORMED);
    EXPECT_EQ(ParseForeignReply(PROTOCOL_MODBUS_ASCII, 16, "::", data), FOREIGN_MALFORMED);
    EXPECT_EQ(ParseForeignReply(PROTOCOL_MODBUS_ASCII, 16, ":11EF\r\n", data), FOREIGN_ADDRESS);
}

TEST(ForeignFrame, DconReplies) {
    Bytes data;
    const std::string body = "!10";
    char sum[3];
    std::snprintf(sum, sizeof sum, "%02X", DconChecksum(body));
    EXPECT_EQ(ParseForeignReply(PROTOCOL_DCON, 16, body + sum + "\r", data), FOREIGN_OK);
    EXPECT_TRUE(data.empty());
    EXPECT_EQ(ParseForeignReply(PROTOCOL_DCON, 32, body + sum + "\r", data), FOREIGN_ADDRESS);
    EXPECT_EQ(ParseForeignReply(PROTOCOL_DCON, 16, "!1000\r", data), FOREIGN_CHECKSUM);
    std::snprintf(sum, sizeof sum, "%02X", DconChecksum("?10"));
    EXPECT_EQ(ParseForeignReply(PROTOCOL_DCON, 16, std::string("?10") + sum + "\r", data),
              FOREIGN_MALFORMED);
    EXPECT_EQ(ParseForeignReply(PROTOCOL_DCON, 16, "!\r", data), FOREIGN_MALFORMED);
    std::snprintf(sum, sizeof sum, "%02X", DconChecksum("!10OK"));
    EXPECT_EQ(ParseForeignReply(PROTOCOL_DCON, 16, std::string("!10OK") + sum + "\r", data),
              FOREIGN_OK);
    EXPECT_EQ(std::string(data.begin(), data.end()), "OK");
}

}  // namespace
}  // namespace zep8
