#pragma once

// A TCP relay on the loopback in front of a server, counting the connections
// a program makes through it.
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <atomic>
#include <string>
#include <thread>
#include <vector>

namespace zep8::testing {

class CountingProxy {
  public:
    explicit CountingProxy(int targetPort) : target_(targetPort) {
        listener_ = socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
        sockaddr_in at = Loopback(0);
        socklen_t length = sizeof at;
        bind(listener_, reinterpret_cast<sockaddr*>(&at), sizeof at);
        listen(listener_, 8);
        getsockname(listener_, reinterpret_cast<sockaddr*>(&at), &length);
        port_ = ntohs(at.sin_port);
        acceptor_ = std::thread([this] { Accept(); });
    }
    ~CountingProxy() {
        stopping_ = true;
        shutdown(listener_, SHUT_RDWR);
        close(listener_);
        acceptor_.join();
        for (std::thread& relay : relays_) relay.join();
    }
    int port() const { return port_; }
    int connections() const { return connections_; }

  private:
    static sockaddr_in Loopback(int port) {
        sockaddr_in at{};
        at.sin_family = AF_INET;
        at.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        at.sin_port = htons(static_cast<uint16_t>(port));
        return at;
    }
    void Accept() {
        for (int client; (client = accept(listener_, nullptr, nullptr)) >= 0;) {
            ++connections_;
            const int server = socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
            const sockaddr_in to = Loopback(target_);
            if (connect(server, reinterpret_cast<const sockaddr*>(&to), sizeof to) != 0) {
                close(client);
                close(server);
                continue;
            }
            relays_.emplace_back([this, client, server] { Relay(client, server); });
        }
    }
    // Both ways until either side ends (or the proxy goes).
    void Relay(int a, int b) {
        pollfd fds[2] = {{a, POLLIN, 0}, {b, POLLIN, 0}};
        char buffer[4096];
        while (!stopping_) {
            if (poll(fds, 2, 100) <= 0) continue;
            bool ended = false;
            for (int i = 0; i < 2 && !ended; ++i) {
                if (!fds[i].revents) continue;
                const ssize_t n = recv(fds[i].fd, buffer, sizeof buffer, 0);
                ended = n <= 0 || send(fds[1 - i].fd, buffer, static_cast<std::size_t>(n),
                                       MSG_NOSIGNAL) != n;
            }
            if (ended) break;
        }
        close(a);
        close(b);
    }

    int target_;
    int listener_ = -1;
    int port_ = 0;
    std::atomic<int> connections_{0};
    std::atomic<bool> stopping_{false};
    std::thread acceptor_;
    std::vector<std::thread> relays_;
};

}  // namespace zep8::testing
