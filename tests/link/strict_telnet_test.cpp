// A strict RFC 2217 server in the test's own thread: it takes the port's
// settings only after it has said DO COM-PORT-OPTION, and counts connections.
#include <gtest/gtest.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <atomic>
#include <chrono>
#include <string>
#include <thread>
#include <vector>

#include "link/line_by_name.h"
#include "link/remote_connection.h"

namespace zep8 {
namespace {

using namespace std::chrono_literals;

class StrictServer {
  public:
    // `refuse`: the server says DONT COM-PORT-OPTION, as a raw line would.
    explicit StrictServer(bool refuse) : refuse_(refuse) {
        listener_ = socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
        sockaddr_in at{};
        at.sin_family = AF_INET;
        at.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        socklen_t length = sizeof at;
        bind(listener_, reinterpret_cast<sockaddr*>(&at), sizeof at);
        listen(listener_, 4);
        getsockname(listener_, reinterpret_cast<sockaddr*>(&at), &length);
        port_ = ntohs(at.sin_port);
        thread_ = std::thread([this] { Serve(); });
    }
    ~StrictServer() {
        shutdown(listener_, SHUT_RDWR);
        close(listener_);
        thread_.join();
    }
    std::string Url() const { return "rfc2217://127.0.0.1:" + std::to_string(port_); }

    std::atomic<int> connections{0}, earlySettings{0}, speedsSet{0};
    std::atomic<std::uint32_t> speed{0};

  private:
    void Serve() {
        for (int client; (client = accept(listener_, nullptr, nullptr)) >= 0;) {
            ++connections;
            Talk(client);
            close(client);
        }
    }
    // Reads whole commands, as a client that sends them in one go would put them.
    void Talk(int client) {
        bool agreed = false;
        std::string in;
        for (;;) {
            pollfd p{client, POLLIN, 0};
            if (poll(&p, 1, 2000) <= 0) return;
            char buffer[256];
            const ssize_t n = recv(client, buffer, sizeof buffer, 0);
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
            if (!out.empty()) send(client, out.data(), out.size(), MSG_NOSIGNAL);
        }
    }

    bool refuse_;
    int listener_ = -1;
    int port_ = 0;
    std::thread thread_;
};

// One connection for the line's life: a new speed is a new SET-BAUDRATE on it.
TEST(RemoteLine, SettingsWaitForTheServersAgreementAndTravelOnOneConnection) {
    StrictServer server(false);
    {
        LineByName port;
        port.settings.name = server.Url();
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
    LineByName other;  // another line of the run takes the parked connection
    other.settings.name = server.Url();
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
    LineByName port;
    port.settings.name = server.Url();
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
