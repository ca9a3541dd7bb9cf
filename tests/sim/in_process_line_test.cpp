#include <gtest/gtest.h>

#include <chrono>
#include <thread>
#include <vector>

#include "link/line/line_by_name.h"
#include "module_client.h"
#include "sim/simulated_line.h"

namespace zep8::sim {
namespace {

using namespace test;
using Clock = std::chrono::steady_clock;

std::string Name(const std::string& reply) {
    const ReplyFrame frame = ParseReplyText(reply);
    if (!frame.checksumOk || frame.hash != hash_name("dev")) return "<no reply>";
    MyConverter c{"dev"};
    c.ConvertFromData(frame.data.data(), frame.data.size(), false);
    return c.value;
}

// Two modules on a line inside the program, reached through the port the
// program opens by name, as --simulate does where no pseudo-terminal is.
TEST(InProcessLine, CarriesTheProgramsFramesToTheModulesOnIt) {
    const std::vector<int> addresses{40, 48};
    SimulatedLine line(LineSettings{}, addresses, SimulatedLine::Kind::InProcess);
    line.module(1).setIdentity("ZEP-8M", "v7.20");
    std::string error;
    ASSERT_TRUE(line.start(error)) << error;
    ASSERT_EQ(line.portPath().rfind("sim://", 0), 0u) << line.portPath();

    LineByName port;
    port.settings.name = line.portPath();
    port.settings.baudRate = 9600;
    ASSERT_EQ(port.Open(), OPEN_OK) << port.OpenFailureReason();
    std::string reply;
    ASSERT_EQ(port.Transfer(RequestText("dev", true, {}, 40), reply), TRANSFER_OK);
    EXPECT_EQ(Name(reply), "ZEP-8");
    ASSERT_EQ(port.Transfer(RequestText("dev", true, {}, 48), reply), TRANSFER_OK);
    EXPECT_EQ(Name(reply), "ZEP-8M");
    // Both answer "any module": noise, as on the bus.
    ASSERT_EQ(port.Transfer(RequestText("dev", true, {}, 255), reply), TRANSFER_OK);
    EXPECT_EQ(reply, std::string(reply.size() - 1, '?') + '\r');

    // Nobody at 56, and nobody hears the program at another speed: the
    // program waits out its reply wait.
    const auto start = Clock::now();
    EXPECT_EQ(port.Transfer(RequestText("dev", true, {}, 56), reply), TRANSFER_TIMEOUT);
    EXPECT_GE(Clock::now() - start, std::chrono::milliseconds(port.ReplyWait(1)));
    port.Close();
    port.settings.baudRate = 19200;
    ASSERT_EQ(port.Open(), OPEN_OK);
    const auto heard = line.module(0).count("dev").received;
    EXPECT_EQ(port.Transfer(RequestText("dev", true, {}, 40), reply), TRANSFER_TIMEOUT);
    EXPECT_EQ(line.module(0).count("dev").received, heard);

    // The stop event ends a wait at once.
    port.settings.baudRate = 9600;
    port.readTotalConstant = 10000;
    std::thread stopper([&] {
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
        port.stopEvent.set();
    });
    EXPECT_EQ(port.Transfer(RequestText("dev", true, {}, 56), reply), TRANSFER_ABORTED);
    stopper.join();
    port.stopEvent.reset();

    // A stopped module's line cannot be opened again.
    port.Close();
    line.stop();
    EXPECT_EQ(port.Open(), OPEN_CANNOT_OPEN);
    EXPECT_EQ(port.OpenFailureReason(), "Виртуальный прибор " + line.portPath() + " уже остановлен.");
}

}  // namespace
}  // namespace zep8::sim
