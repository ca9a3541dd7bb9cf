// The program through a serial device server: ser2net on the loopback with the
// virtual module's pseudo-terminal behind it.
#include <gtest/gtest.h>

#include <chrono>
#include <filesystem>
#include <thread>

#include "support/ser2net_server.h"
#include "support/zep8_process.h"

namespace zep8 {
namespace {

using namespace std::chrono_literals;
using testing::Has;
using Clock = std::chrono::steady_clock;

class RemoteLineProcess : public testing::ProcessTest {
  protected:
    void SetUp() override {
        ProcessTest::SetUp();
        if (IsSkipped()) return;
        if (!testing::Ser2net::Available()) GTEST_SKIP() << "ser2net is not installed";
    }
    void TearDown() override {
        server.Stop();
        ProcessTest::TearDown();
    }

    testing::Ser2net server;
};

TEST_F(RemoteLineProcess, ReadsEveryParameterThroughBothKindsOfServer) {
    const std::string pty = StartSimulator({"--baud", "38400", "--address", "40"});
    const std::string raw = server.Start(pty, "raw", "38400n81");
    const auto read =
        Run("--port=" + raw + " /bps:38400/addr:40/read/close '" + File("raw.zep") + "'");
    EXPECT_EQ(read.code, 0) << read.err;
    EXPECT_TRUE(Has(read.err, "(с ошибками 0), параметров: 84 (с ошибками 0)")) << read.err;

    // The server starts at 9600; the module answers only at 38400, so the
    // program's speed must reach the server.
    const std::string telnet = server.Start(pty, "rfc2217", "9600n81");
    const auto set =
        Run("--port=" + telnet + " /bps:38400/addr:40/read/close '" + File("rfc.zep") + "'");
    EXPECT_EQ(set.code, 0) << set.err;
    EXPECT_TRUE(Has(set.err, "(с ошибками 0), параметров: 84 (с ошибками 0)")) << set.err;
    EXPECT_TRUE(std::filesystem::exists(File("rfc.zep")));
}

// The program's settings are the defaults (9600 baud, address 16), and so is
// the server's speed: every speed the doctor tries must reach the server.
TEST_F(RemoteLineProcess, TheDoctorFindsTheModuleBehindATelnetServer) {
    const std::string pty = StartSimulator({"--baud", "38400", "--address", "40"});
    const std::string url = server.Start(pty, "rfc2217", "9600n81");
    const auto run = Run("--doctor --port=" + url);
    EXPECT_EQ(run.code, 0) << run.out << run.err;
    EXPECT_TRUE(Has(run.out, "Проверяемый порт: " + url)) << run.out;
    EXPECT_TRUE(Has(run.out, "Удалённая линия: путь по сети туда и обратно ")) << run.out;
    EXPECT_FALSE(Has(run.out, "Преобразователь: ")) << run.out;
    EXPECT_TRUE(Has(run.out, "Настройки прибора: 38400 бит/с, 8-N-1, адрес 40 (8 бит)."))
        << run.out;
    EXPECT_TRUE(Has(run.out, "  скорость: 9600 -> 38400")) << run.out;
}

TEST_F(RemoteLineProcess, AServerThatGoesAwayEndsTheJobAt201) {
    const std::string pty = StartSimulator({"--baud", "9600", "--address", "40", "--timing"});
    const std::string url = server.Start(pty, "rfc2217", "9600n81");
    const std::string args =
        "--port=" + url + " /bps:9600/addr:40/read/close '" + File("f.zep") + "'";
    ASSERT_EQ(Run(args).code, 0);
    const std::string old = testing::ReadWhole(File("f.zep"));

    std::thread killer([this] {
        std::this_thread::sleep_for(700ms);
        server.Stop();
    });
    const auto started = Clock::now();
    const auto lost = Run(args);
    killer.join();
    EXPECT_EQ(lost.code, 201) << lost.err;
    EXPECT_LT(Clock::now() - started, 1700ms);
    EXPECT_TRUE(Has(lost.err, "127.0.0.1:" + std::to_string(server.port()))) << lost.err;
    EXPECT_EQ(testing::ReadWhole(File("f.zep")), old);

    const auto refused = Run(args);
    EXPECT_EQ(refused.code, 201);
    EXPECT_TRUE(Has(refused.err, "отказал в соединении")) << refused.err;
}

}  // namespace
}  // namespace zep8
