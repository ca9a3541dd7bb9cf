#include "sim/pty_transport.h"
#include "sim/simulated_module.h"

#include <fcntl.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <filesystem>

#include "module_client.h"
#include "serial_end.h"

namespace zep8::sim {
namespace {

using namespace test;
using Clock = std::chrono::steady_clock;

class PtyTransportTest : public ::testing::Test {
  protected:
    void SetUp() override {
        std::string error;
        ASSERT_TRUE(simulated.start(error)) << error;
    }

    SimulatedModule simulated;
    VirtualModule& module = simulated.module();
    PtyTransport& transport = simulated.transport();
};

TEST_F(PtyTransportTest, ServesTheOwnProtocolThroughASerialPort) {
    SerialEnd port(transport.slavePath());
    ASSERT_TRUE(port.isOpen());
    const ReplyFrame dev = ParseReplyText(port.exchange(RequestText("dev", true)));
    EXPECT_TRUE(dev.checksumOk);
    MyConverter name("dev");
    name.ConvertFromData(dev.data.data(), dev.data.size(), false);
    EXPECT_EQ(name.value, "ZEP-8");

    // Write an indexed parameter, read it back, leave its neighbours alone.
    MyConverter filter("in.Fd");
    filter.value = "1200";
    Bytes data;
    ASSERT_EQ(filter.ConvertToData(data), MyConverter::CONVERT_OK);
    const ReplyFrame written =
        ParseReplyText(port.exchange(RequestText("in.Fd", false, Concat(data, Index(3)))));
    EXPECT_TRUE(written.checksumOk);
    EXPECT_EQ(written.hash, hash_name("in.Fd"));
    const ReplyFrame read = ParseReplyText(port.exchange(RequestText("in.Fd", true, Index(3))));
    ASSERT_TRUE(read.checksumOk);
    filter.ConvertFromData(read.data.data(), read.data.size(), true);
    EXPECT_EQ(filter.value, "1200");
    EXPECT_EQ(module.value("in.Fd", 2), 0);
    EXPECT_EQ(module.count("in.Fd").received, 2);
}

TEST_F(PtyTransportTest, FramesMayArriveInPiecesAndTogether) {
    SerialEnd port(transport.slavePath());
    const std::string request = RequestText("ver", true);
    EXPECT_EQ(port.exchange(request.substr(0, 5), '\r', std::chrono::milliseconds(50)), "");
    EXPECT_TRUE(ParseReplyText(port.exchange(request.substr(5))).checksumOk);

    const std::string twice = RequestText("dev", true) + RequestText("ver", true);
    const std::string first = port.exchange(twice);
    const std::string second = first.find('\r') + 1 < first.size()
                                   ? first.substr(first.find('\r') + 1)
                                   : port.receive('\r', std::chrono::milliseconds(1000));
    EXPECT_EQ(ParseReplyText(second).hash, hash_name("ver"));
}

TEST_F(PtyTransportTest, SurvivesTheProgramClosingAndReopeningThePort) {
    for (int round = 0; round < 3; ++round) {
        SerialEnd port(transport.slavePath());
        ASSERT_TRUE(port.isOpen()) << "round " << round;
        EXPECT_TRUE(ParseReplyText(port.exchange(RequestText("dev", true))).checksumOk)
            << "round " << round;
    }
}

TEST_F(PtyTransportTest, ModbusRtuFramesEndWithAPause) {
    transport.stop();
    LineSettings s;
    s.protocol = Protocol::ModbusRtu;
    s.baud = 115200;
    VirtualModule rtu(s);
    PtyTransport line(rtu);
    std::string error;
    ASSERT_TRUE(line.start(error)) << error;
    SerialEnd port(line.slavePath(), B115200);
    const std::string command("\x10\x05\xF0\xF0\xFF\x00\xBC\x48", 8);
    // No terminator: the module answers once the line has been quiet.
    std::string reply = port.exchange(command.substr(0, 3), '\0', std::chrono::milliseconds(0));
    reply += port.exchange(command.substr(3), '\0', std::chrono::milliseconds(0));
    reply += port.receive('\0', std::chrono::milliseconds(1000), command.size() - reply.size());
    EXPECT_EQ(reply, command);
    EXPECT_EQ(rtu.activeSettings().protocol, Protocol::Own);
}

TEST_F(PtyTransportTest, AnswersOnlyAProgramAtItsSpeed) {
    const std::string dev = RequestText("dev", true);
    {
        SerialEnd port(transport.slavePath(), B19200);
        EXPECT_EQ(port.exchange(dev, '\r', std::chrono::milliseconds(100)), "");
        EXPECT_EQ(transport.mismatchedFrames(), 1);
        transport.setLineCheck(false);
        EXPECT_TRUE(ParseReplyText(port.exchange(dev)).checksumOk);
        transport.setLineCheck(true);
    }

    // New settings take effect with APLY; the program follows by reopening.
    SerialEnd port(transport.slavePath(), B9600);
    MyConverter speed("bPS");
    speed.value = "115200";
    Bytes data;
    speed.ConvertToData(data);
    EXPECT_TRUE(ParseReplyText(port.exchange(RequestText("bPS", false, data))).checksumOk);
    EXPECT_EQ(port.exchange(RequestText("APLY", false), '\r', std::chrono::milliseconds(50)), "");
    EXPECT_EQ(port.exchange(dev, '\r', std::chrono::milliseconds(100)), "");
    SerialEnd faster(transport.slavePath(), B115200);
    EXPECT_TRUE(ParseReplyText(faster.exchange(dev)).checksumOk);
}

TEST(PtyTransportSpeed, APortLeftAloneRunsAtTheModulesSpeed) {
    LineSettings s;
    s.baud = 14400;  // not one of the classic termios speeds
    SimulatedModule simulated(s);
    std::string error;
    ASSERT_TRUE(simulated.start(error)) << error;
    SerialEnd port(simulated.portPath(), B0);
    EXPECT_TRUE(ParseReplyText(port.exchange(RequestText("dev", true))).checksumOk);
}

TEST_F(PtyTransportTest, StopsPromptlyEvenWhileAReplyIsHeldBack) {
    SerialEnd port(transport.slavePath());
    module.injectDelay(std::chrono::seconds(10));
    port.exchange(RequestText("dev", true), '\r', std::chrono::milliseconds(20));
    const auto before = Clock::now();
    transport.stop();
    EXPECT_LT(Clock::now() - before, std::chrono::milliseconds(200));
    EXPECT_FALSE(transport.running());
}

TEST(PtyTransportLink, LinkFollowsTheTransportsLife) {
    const std::filesystem::path link =
        std::filesystem::temp_directory_path() / ("zep8-sim-test-" + std::to_string(getpid()));
    {
        VirtualModule module;
        PtyTransport transport(module);
        std::string error;
        ASSERT_TRUE(transport.open(error)) << error;
        ASSERT_TRUE(transport.createLink(link.string(), error)) << error;
        EXPECT_EQ(std::filesystem::read_symlink(link), transport.slavePath());
        ASSERT_TRUE(transport.start(error));
        SerialEnd port(link.string());
        EXPECT_TRUE(ParseReplyText(port.exchange(RequestText("dev", true))).checksumOk);
    }
    EXPECT_FALSE(std::filesystem::is_symlink(link));
}

TEST(PtyTransportTiming, RepliesAfterTheWireTimeOfRequestAndReply) {
    LineSettings s;
    s.baud = 2400;  // slow, so that scheduling noise is small beside the wire time
    s.responseDelayMs = 5;
    VirtualModule module(s);
    module.setLineTiming(true);
    PtyTransport transport(module);
    std::string error;
    ASSERT_TRUE(transport.start(error)) << error;
    SerialEnd port(transport.slavePath(), B2400);
    const std::string request = RequestText("dev", true);
    const auto expected = s.wireTime(request.size() + 24) + std::chrono::milliseconds(5);
    // Each reply must wait the full time; the median must not wait much longer
    // (a single late wake-up of a busy machine is not the module's doing).
    std::vector<double> ratios;
    for (int i = 0; i < 5; ++i) {
        const auto start = Clock::now();
        const std::string reply = port.exchange(request);
        const auto took = Clock::now() - start;
        ASSERT_EQ(reply.size(), 24u);
        ratios.push_back(std::chrono::duration<double>(took) / expected);
        EXPECT_GE(ratios.back(), 1.0);
    }
    std::ranges::sort(ratios);
    EXPECT_LT(ratios[2], 1.03) << "median " << ratios[2] * 100 << "% of "
                               << std::chrono::duration<double, std::milli>(expected).count()
                               << " ms";
}

}  // namespace
}  // namespace zep8::sim
