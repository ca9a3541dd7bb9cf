// The program through a serial device server: ser2net on the loopback with the
// virtual module's pseudo-terminal behind it.
#include <gtest/gtest.h>
#include <netinet/in.h>
#include <signal.h>
#include <sys/socket.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <filesystem>
#include <fstream>
#include <thread>

#include "support/zep8_process.h"

namespace zep8 {
namespace {

using namespace std::chrono_literals;
using testing::Has;
using Clock = std::chrono::steady_clock;

constexpr const char* kSer2net = "/usr/sbin/ser2net";

// A loopback port nobody listens on; -1 when it is taken.
int BindLoopback(int port) {
    const int fd = socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in a{};
    a.sin_family = AF_INET;
    a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    a.sin_port = htons(static_cast<uint16_t>(port));
    socklen_t length = sizeof a;
    int found = -1;
    if (bind(fd, reinterpret_cast<sockaddr*>(&a), sizeof a) == 0 &&
        getsockname(fd, reinterpret_cast<sockaddr*>(&a), &length) == 0) {
        found = ntohs(a.sin_port);
    }
    close(fd);
    return found;
}

class RemoteLineProcess : public testing::ProcessTest {
  protected:
    void SetUp() override {
        ProcessTest::SetUp();
        if (IsSkipped()) return;
        if (!std::filesystem::exists(kSer2net)) GTEST_SKIP() << "ser2net is not installed";
    }
    void TearDown() override {
        StopServer();
        ProcessTest::TearDown();
    }

    // ser2net in front of `pty`: "raw" or "rfc2217" at `line` ("38400n81");
    // returns the port it listens on.
    int StartServer(const std::string& pty, const std::string& mode, const std::string& line) {
        const int port = BindLoopback(0);
        const std::string accepter = mode == "raw" ? "tcp" : "telnet(rfc2217),tcp";
        std::ofstream(File("ser2net.yaml"))
            << "connection: &con1\n  accepter: " << accepter << ",127.0.0.1," << port
            << "\n  connector: serialdev," << pty << "," << line
            << ",local\n  options:\n    chardelay: false\n";
        server = fork();
        if (server == 0) {
            const std::string config = File("ser2net.yaml");
            freopen("/dev/null", "w", stderr);
            execl(kSer2net, kSer2net, "-n", "-d", "-c", config.c_str(), nullptr);
            _exit(127);
        }
        // Listening once the port cannot be bound any more.
        for (int i = 0; i < 200 && BindLoopback(port) == port; ++i)
            std::this_thread::sleep_for(10ms);
        return port;
    }
    void StopServer() {
        if (server <= 0) return;
        kill(server, SIGKILL);
        waitpid(server, nullptr, 0);
        server = -1;
    }

    pid_t server = -1;
};

TEST_F(RemoteLineProcess, ReadsEveryParameterThroughBothKindsOfServer) {
    const std::string pty = StartSimulator({"--baud", "38400", "--address", "40"});
    const int raw = StartServer(pty, "raw", "38400n81");
    const auto read = Run("--port=tcp://127.0.0.1:" + std::to_string(raw) +
                          " /bps:38400/addr:40/read/close '" + File("raw.zep") + "'");
    EXPECT_EQ(read.code, 0) << read.err;
    EXPECT_TRUE(Has(read.err, "(с ошибками 0), параметров: 84 (с ошибками 0)")) << read.err;
    StopServer();

    // The server starts at 9600; the module answers only at 38400, so the
    // program's speed must reach the server.
    const int telnet = StartServer(pty, "rfc2217", "9600n81");
    const auto set = Run("--port=rfc2217://127.0.0.1:" + std::to_string(telnet) +
                         " /bps:38400/addr:40/read/close '" + File("rfc.zep") + "'");
    EXPECT_EQ(set.code, 0) << set.err;
    EXPECT_TRUE(Has(set.err, "(с ошибками 0), параметров: 84 (с ошибками 0)")) << set.err;
    EXPECT_TRUE(std::filesystem::exists(File("rfc.zep")));
}

TEST_F(RemoteLineProcess, AServerThatGoesAwayEndsTheJobAt201) {
    const std::string pty = StartSimulator({"--baud", "9600", "--address", "40", "--timing"});
    const int port = StartServer(pty, "rfc2217", "9600n81");
    const std::string args = "--port=rfc2217://127.0.0.1:" + std::to_string(port) +
                             " /bps:9600/addr:40/read/close '" + File("f.zep") + "'";
    ASSERT_EQ(Run(args).code, 0);
    const std::string old = testing::ReadWhole(File("f.zep"));

    std::thread killer([this] {
        std::this_thread::sleep_for(700ms);
        StopServer();
    });
    const auto started = Clock::now();
    const auto lost = Run(args);
    killer.join();
    EXPECT_EQ(lost.code, 201) << lost.err;
    EXPECT_LT(Clock::now() - started, 1700ms);
    EXPECT_TRUE(Has(lost.err, "127.0.0.1:" + std::to_string(port))) << lost.err;
    EXPECT_EQ(testing::ReadWhole(File("f.zep")), old);

    const auto refused = Run(args);
    EXPECT_EQ(refused.code, 201);
    EXPECT_TRUE(Has(refused.err, "отказал в соединении")) << refused.err;
}

}  // namespace
}  // namespace zep8
