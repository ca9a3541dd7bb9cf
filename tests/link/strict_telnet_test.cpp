// A strict RFC 2217 server in the test's own thread: it takes the port's
// settings only after it has said DO COM-PORT-OPTION, and counts connections.
#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <cstdint>
#include <string>
#include <thread>
#include <vector>

#include "link/remote/remote_connection.h"
#include "support/loopback_socket.h"
#include "support/remote_port.h"

namespace zep8 {
namespace {

using namespace std::chrono_literals;
using testing::RemotePort;
using testing::TestSocket;

class StrictServer {
  public:
    // `refuse`: the server says DONT COM-PORT-OPTION, as a raw line would.
    explicit StrictServer(bool refuse) : refuse_(refuse) {
        thread_ = std::thread([this] { Serve(); });
    }
    ~StrictServer() {
        done_ = true;
        thread_.join();
    }
    std::string Url() const { return "rfc2217://" + listener_.Where(); }

    std::atomic<int> connections{0}, earlySettings{0}, speedsSet{0};
    std::atomic<std::uint32_t> speed{0};

  private:
    void Serve() {
        while (!done_) {
            const TestSocket client = listener_.Accept(50);
            if (client == testing::kNoSocket) continue;
            ++connections;
            Talk(client);
            testing::CloseSocket(client);
        }
    }
    // Reads whole commands, as a client that sends them in one go would put them.
    void Talk(TestSocket client) {
        bool agreed = false;
        std::string in;
        for (int quiet = 0; !done_ && quiet < 40;) {
            if (!testing::ReadableWithin(client, 50)) {
                ++quiet;
                continue;
            }
            quiet = 0;
            char buffer[256];
            const int n = testing::ReceiveSome(client, buffer, sizeof buffer);
            if (n <= 0) return;
            in.append(buffer, static_cast<std::size_t>(n));
            std::string out;
            while (in.size() >= 3) {
                const auto b = [&](std::size_t i) { return static_cast<std::uint8_t>(in[i]); };
                if (b(0) == 255 && b(1) == 251 && b(2) == 44) {  // WILL COM-PORT-OPTION
                    std::this_thread::sleep_for(30ms);              // a slow agreement
                    out += {'\xff', static_cast<char>(refuse_ ? 254 : 253), 44};
                    agreed = !refuse_;
                    in.erase(0, 3);
                } else if (b(0) == 255 && b(1) == 250) {  // IAC SB ... IAC SE
                    const std::size_t end = in.find("\xff\xf0");
                    if (end == std::string::npos) break;
                    if (!agreed) {
                        ++earlySettings;  // a strict server drops it
                    } else {
                        std::string answer = in.substr(0, end + 2);
                        answer[3] = static_cast<char>(b(3) + 100);
                        out += answer;
                        if (b(3) == 1) {
                            ++speedsSet;
                            speed = (std::uint32_t{b(4)} << 24) | (b(5) << 16) | (b(6) << 8) | b(7);
                        }
                    }
                    in.erase(0, end + 2);
                } else {
                    in.erase(0, b(0) == 255 ? 3 : 1);
                }
            }
            if (!out.empty()) testing::SendAll(client, out);
        }
    }

    bool refuse_;
    testing::LoopbackListener listener_;
    std::atomic<bool> done_{false};
    std::thread thread_;
};

// One connection for the line's life: a new speed is a new SET-BAUDRATE on it.
TEST(RemoteLine, SettingsWaitForTheServersAgreementAndTravelOnOneConnection) {
    StrictServer server(false);
    {
        RemotePort port(server.Url());
        port.settings.baudRate = 38400;
        ASSERT_EQ(port.Open(), OPEN_OK) << port.OpenFailureReason();
        EXPECT_EQ(server.speed, 38400u);
        port.Close();
        ASSERT_EQ(port.Open(), OPEN_OK);  // same settings: nothing to send
        EXPECT_EQ(server.speedsSet, 1);
        port.Close();
        port.settings.baudRate = 115200;
        ASSERT_EQ(port.Open(), OPEN_OK) << port.OpenFailureReason();
        EXPECT_EQ(server.speed, 115200u);
    }
    RemotePort other(server.Url());  // another line of the run takes the parked connection
    other.settings.baudRate = 9600;
    ASSERT_EQ(other.Open(), OPEN_OK) << other.OpenFailureReason();
    EXPECT_EQ(server.speed, 9600u);
    EXPECT_EQ(server.earlySettings, 0);
    EXPECT_EQ(server.connections, 1);
    other.Close();
    RemoteConnections::ReleaseAll();
}

TEST(RemoteLine, AServerThatRefusesComPortControlIsARawLine) {
    StrictServer server(true);
    RemotePort port(server.Url());
    EXPECT_EQ(port.Open(), OPEN_SETTINGS_REFUSED);
    const std::string port_text = server.Url().substr(sizeof "rfc2217://" - 1);
    EXPECT_NE(port.OpenFailureReason().find("Сервер " + port_text +
                                            " отказался управлять портом по RFC 2217: это линия "
                                            "в режиме raw, её имя порта tcp://" + port_text),
              std::string::npos)
        << port.OpenFailureReason();
    EXPECT_EQ(server.earlySettings, 0);
}

}  // namespace
}  // namespace zep8
