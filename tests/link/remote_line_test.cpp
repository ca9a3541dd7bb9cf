#include <gtest/gtest.h>

#include "link/exchange/device_io.h"
#include "link/foreign/foreign_status_text.h"
#include "link/line/line_by_name.h"
#include "link/remote/telnet_stream.h"
#include "link/serial/port_names.h"
#include "model/parameter.h"
#include "platform/process_state.h"
#include "platform/recording_prompter.h"
#include "sim/pty_transport.h"
#include "sim/virtual_module.h"
#include "support/ser2net_server.h"

namespace zep8 {
namespace {

std::string ByteText(std::initializer_list<int> values) {
    std::string s;
    for (const int v : values) s += static_cast<char>(v);
    return s;
}

TEST(RemoteLine, PortNamesSayTheKindOfLine) {
    const auto raw = ParseRemotePortName("tcp://plc-hall.local:4001");
    ASSERT_TRUE(raw);
    EXPECT_FALSE(raw->rfc2217);
    EXPECT_EQ(raw->host, "plc-hall.local");
    EXPECT_EQ(raw->port, "4001");
    const auto telnet = ParseRemotePortName("RFC2217://[::1]:7001");
    ASSERT_TRUE(telnet);
    EXPECT_TRUE(telnet->rfc2217);
    EXPECT_EQ(telnet->host, "::1");
    for (const char* local :
         {"ttyUSB0", "COM3", "/dev/serial/by-id/usb-x", "tcp://host", "udp://h:1"}) {
        EXPECT_FALSE(IsRemotePortName(local)) << local;
    }
    EXPECT_EQ(PortDevicePath("tcp://10.0.0.5:4001"), "tcp://10.0.0.5:4001");
}

// A TCP port is 1-65535. The resolver would take 70000 for 4464 and connect
// to whatever listens there: such a name is refused with the reason.
TEST(RemoteLine, AServerPortOutsideOneTo65535IsRefused) {
    const auto highest = ParseRemotePortName("tcp+tls://plc:65535");
    ASSERT_TRUE(highest);
    EXPECT_EQ(highest->port, "65535");
    EXPECT_EQ(ParseRemotePortName("tcp://plc:04001")->port, "4001");
    for (const char* name : {"tcp://127.0.0.1:70000", "rfc2217://plc:65536", "tcp://plc:0",
                             "rfc2217+tls://plc:000", "tcp://plc:99999999999999999999"}) {
        EXPECT_FALSE(ParseRemotePortName(name)) << name;
        EXPECT_EQ(RemotePortNameFault(name),
                  "Номер порта сервера в " + std::string(name) +
                      " должен быть числом от 1 до 65535.");
    }
    EXPECT_NE(RemotePortNameFault("tcp://plc").find("СЕРВЕР:ПОРТ"), std::string::npos);
    EXPECT_EQ(RemotePortNameFault("tcp://plc:4001"), "");
    EXPECT_EQ(RemotePortNameFault("/dev/ttyUSB0"), "");

    // A stored name (the port set-up's) is not taken for a device file either.
    LineByName line;
    line.settings.name = "tcp://127.0.0.1:70000";
    EXPECT_NE(line.Open(), OPEN_OK);
    EXPECT_EQ(line.OpenFailureReason(),
              "Номер порта сервера в tcp://127.0.0.1:70000 должен быть числом от 1 до 65535.");
}

TEST(RemoteLine, TelnetDoublesFfBothWaysAndAnswersTheServer) {
    // A ModBUS-RTU frame may hold 0xFF: doubled on the way out, single on the way in.
    EXPECT_EQ(TelnetStream::Escape(ByteText({0x28, 0xFF, 0x01})), ByteText({0x28, 0xFF, 0xFF, 0x01}));

    TelnetStream telnet;
    (void)telnet.Greeting();
    std::string data, answer;
    // The server agrees to COM Port Control and binary, offers echo, asks for a
    // terminal type, and answers the speed in pieces.
    telnet.Feed(ByteText({255, 253, 44,   255, 251, 0,    255, 253, 0,  255, 251, 1, 255,
                       253, 24,  0x41, 255, 255, 0x42, 255, 250, 44, 101, 0,   0}),
                data, answer);
    telnet.Feed(ByteText({0x96, 0, 255, 240, 255, 250, 44, 107, 0x30, 255, 240, 0x0D}), data, answer);
    EXPECT_EQ(data, ByteText({0x41, 0xFF, 0x42, 0x0D}));
    EXPECT_EQ(answer, ByteText({255, 254, 1, 255, 252, 24}));  // no echo, no terminal type
    EXPECT_EQ(telnet.Answer(TelnetStream::SET_BAUDRATE), 38400u);
    EXPECT_FALSE(telnet.Answer(TelnetStream::SET_PARITY));
    // A server that never acknowledges modem-line control is no refusal.
    EXPECT_FALSE(telnet.ComPortRefused());
    EXPECT_EQ(TelnetStream::Request(TelnetStream::SET_BAUDRATE, 9600),
              ByteText({255, 250, 44, 1, 0, 0, 0x25, 0x80, 255, 240}));
}

TEST(RemoteLine, ARefusedConnectionSaysWhyInRussian) {
    LineByName port;
    port.settings.name = "tcp://127.0.0.1:1";
    EXPECT_EQ(port.Open(), OPEN_CANNOT_OPEN);
    EXPECT_NE(port.OpenFailureReason().find("127.0.0.1:1 отказал в соединении"), std::string::npos)
        << port.OpenFailureReason();
    port.settings.name = "rfc2217://nonexistent.invalid:7001";
    EXPECT_EQ(port.Open(), OPEN_CANNOT_OPEN);
    EXPECT_NE(port.OpenFailureReason().find("nonexistent.invalid не найден"), std::string::npos)
        << port.OpenFailureReason();
    std::string reply;
    EXPECT_EQ(port.Transfer("#x\r", reply), TRANSFER_LINE_GONE);
}

// The ModBUS-RTU return command holds 0xFF, and so does the module's echo of it.
TEST(RemoteLine, TheModbusReturnCommandCrossesATelnetServer) {
    if (!testing::Ser2net::Available()) GTEST_SKIP() << "ser2net is not installed";
    processState().reset();
    sim::LineSettings line;
    line.baud = 38400;
    line.protocol = sim::Protocol::ModbusRtu;
    sim::VirtualModule module(line);
    sim::PtyTransport transport(module);
    std::string error;
    ASSERT_TRUE(transport.start(error)) << error;
    testing::Ser2net server;
    auto port = std::make_unique<LineByName>();
    port->settings.name = server.Start(transport.slavePath(), "rfc2217", "9600n81");
    port->settings.baudRate = 38400;
    port->settings.baseAddress = 16;
    RecordingPrompter prompter;
    DeviceIO io(std::move(port), prompter);
    processState().ProtocolMode = PROTOCOL_MODBUS_RTU;
    ASSERT_EQ(io.port().Open(), OPEN_OK) << io.port().OpenFailureReason();
    EXPECT_LT(io.port().RoundTrip(), std::chrono::milliseconds(100));
    Parameter dev("dev");
    EXPECT_EQ(io.TransferParameter(DIRECTION_READ, &dev), FOREIGN_OK) << dev.errorText;
    EXPECT_EQ(module.foreignReturns(), 1);

    processState().ProtocolMode = PROTOCOL_OWN;
    ASSERT_EQ(io.port().Open(), OPEN_OK);
    EXPECT_EQ(io.TransferParameter(DIRECTION_READ, &dev), STATUS_OK) << dev.errorText;
    EXPECT_EQ(dev.value, "ZEP-8");
    io.port().Close();
    transport.stop();
    processState().reset();
}

}  // namespace
}  // namespace zep8
