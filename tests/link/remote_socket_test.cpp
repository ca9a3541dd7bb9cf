// The remote line's socket on every system (BSD sockets, or Winsock under
// Wine): refusals in the operator's words, a stop that ends a wait at once,
// and replies that come in pieces or after more than one read's worth.
#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <string>
#include <thread>

#include "link/remote/remote_connection.h"
#include "link/remote/tls_channel.h"
#include "support/loopback_socket.h"
#include "support/remote_port.h"

namespace zep8 {
namespace {

using namespace std::chrono_literals;
using Clock = std::chrono::steady_clock;
using testing::RemotePort;
using testing::TestSocket;

// A server that takes one client and does what the test says with it.
template <typename Talk>
class OneClientServer {
  public:
    explicit OneClientServer(Talk talk) : talk_(std::move(talk)) {
        thread_ = std::thread([this] {
            const TestSocket client = listener.Accept(3000);
            if (client == testing::kNoSocket) return;
            ++connections;
            talk_(client);
            // Until the client lets go: the line's end is its own to make.
            char buffer[256];
            while (testing::ReadableWithin(client, 2000) &&
                   testing::ReceiveSome(client, buffer, sizeof buffer) > 0) {
            }
            testing::CloseSocket(client);
        });
    }
    ~OneClientServer() { thread_.join(); }

    testing::LoopbackListener listener;
    std::atomic<int> connections{0};

  private:
    Talk talk_;
    std::thread thread_;
};

TEST(RemoteLine, AConnectionNobodyTakesIsRefusedInRussian) {
    testing::LoopbackListener gone;
    const std::string where = gone.Where();
    gone.Close();
    RemotePort port("tcp://" + where);
    const auto started = Clock::now();
    EXPECT_EQ(port.Open(), OPEN_CANNOT_OPEN);
    EXPECT_EQ(port.OpenFailureReason(),
              "Сервер " + where +
                  " отказал в соединении: на этом порту никто не ждёт (сервер портов не запущен?).");
    EXPECT_LT(Clock::now() - started, RemoteLine::kConnectTimeout);
    std::string reply;
    EXPECT_EQ(port.Transfer("#01\r", reply), TRANSFER_LINE_GONE);
}

// The operator closes the window while the server keeps silent about COM Port Control.
TEST(RemoteLine, AStopEndsTheWaitForASilentServerAtOnce) {
    OneClientServer server([](TestSocket) {});
    RemotePort port("rfc2217://" + server.listener.Where());
    std::thread stopper([&] {
        std::this_thread::sleep_for(200ms);
        port.stopEvent.set();
    });
    const auto started = Clock::now();
    EXPECT_EQ(port.Open(), OPEN_CANNOT_OPEN);
    const auto took = Clock::now() - started;
    stopper.join();
    EXPECT_EQ(port.OpenFailureReason(),
              "Соединение с сервером " + server.listener.Where() + " прервано.");
    EXPECT_GE(took, 150ms);
    EXPECT_LT(took, 1500ms);
    EXPECT_EQ(server.connections, 1);
}

// A late answer bigger than one read is dropped whole before the request; the
// reply that follows comes in two pieces and is read to its end.
TEST(RemoteLine, ARawLineDropsALateAnswerAndJoinsAReplyInPieces) {
    OneClientServer server([](TestSocket client) {
        testing::SendAll(client, std::string(1500, 'x'));
        if (!testing::ReadableWithin(client, 3000)) return;
        char request[64];
        const int n = testing::ReceiveSome(client, request, sizeof request);
        if (std::string(request, n > 0 ? static_cast<std::size_t>(n) : 0) != "$01M\r") return;
        testing::SendAll(client, "!01");
        std::this_thread::sleep_for(40ms);
        testing::SendAll(client, "7017\r");
    });
    RemotePort port("tcp://" + server.listener.Where());
    ASSERT_EQ(port.Open(), OPEN_OK) << port.OpenFailureReason();
    std::this_thread::sleep_for(100ms);  // the late answer is all there
    std::string reply;
    EXPECT_EQ(port.Transfer("$01M\r", reply), TRANSFER_OK);
    EXPECT_EQ(reply, "!017017\r");
    port.Disconnect();
}

TEST(RemoteLine, AnEncryptedLineWithoutTlsInTheBuildIsRefusedBeforeConnecting) {
    if (TlsChannel::Unavailable("h:1").empty()) GTEST_SKIP() << "this build speaks TLS";
    OneClientServer server([](TestSocket) {});
    const std::string where = server.listener.Where();
    RemotePort port("rfc2217+tls://" + where);
    EXPECT_EQ(port.Open(), OPEN_CANNOT_OPEN);
    EXPECT_EQ(port.OpenFailureReason(),
              "Зашифрованные линии (TLS) в этой сборке для Windows недоступны: сервер " + where +
                  ".");
    EXPECT_EQ(server.connections, 0);
    // The server thread waits for a client: one plain connection lets it end.
    RemotePort plain("tcp://" + where);
    EXPECT_EQ(plain.Open(), OPEN_OK) << plain.OpenFailureReason();
    plain.Disconnect();
}

}  // namespace
}  // namespace zep8
