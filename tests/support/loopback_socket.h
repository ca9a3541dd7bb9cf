#pragma once

// The server's side of a remote line in a test's own thread, on the loopback,
// with BSD sockets or Winsock: a listener that takes clients, and plain
// blocking reads and writes with a bounded wait before each read.
#ifdef _WIN32
#include <winsock2.h>
#include <ws2tcpip.h>
#else
#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/select.h>
#include <sys/socket.h>
#include <unistd.h>
#endif

#include <string>
#include <string_view>

namespace zep8::testing {

#ifdef _WIN32
using TestSocket = SOCKET;
inline const TestSocket kNoSocket = INVALID_SOCKET;
inline void CloseSocket(TestSocket s) {
    closesocket(s);
}
inline void StartSockets() {
    static const bool started = [] {
        WSADATA data;
        return WSAStartup(MAKEWORD(2, 2), &data) == 0;
    }();
    (void)started;
}
constexpr int kNoSignal = 0;
#else
using TestSocket = int;
inline constexpr TestSocket kNoSocket = -1;
inline void CloseSocket(TestSocket s) {
    ::close(s);
}
inline void StartSockets() {}
constexpr int kNoSignal = MSG_NOSIGNAL;
#endif

// Something to read (or the peer's end) within `ms`; with `write`, room to send.
inline bool ReadableWithin(TestSocket s, int ms, bool write = false) {
    fd_set set;
    FD_ZERO(&set);
    FD_SET(s, &set);
    timeval wait{ms / 1000, (ms % 1000) * 1000};
    return select(static_cast<int>(s) + 1, write ? nullptr : &set, write ? &set : nullptr, nullptr,
                  &wait) > 0;
}
inline bool WritableWithin(TestSocket s, int ms) {
    return ReadableWithin(s, ms, true);
}

// Bytes read, 0 at the end, negative on a fault.
inline int ReceiveSome(TestSocket s, char* buffer, int size) {
    return static_cast<int>(recv(s, buffer, size, 0));
}

inline bool SendAll(TestSocket s, std::string_view bytes) {
    while (!bytes.empty()) {
        const int n = static_cast<int>(send(s, bytes.data(), static_cast<int>(bytes.size()), kNoSignal));
        if (n <= 0) return false;
        bytes.remove_prefix(static_cast<std::size_t>(n));
    }
    return true;
}

class LoopbackListener {
  public:
    // On `port`, or on one the system chooses; `backlog` callers may wait
    // to be taken (on Linux one more), later ones are dropped unanswered.
    explicit LoopbackListener(int port = 0, int backlog = 4) {
        StartSockets();
        listener_ = socket(AF_INET, SOCK_STREAM, 0);
        const int reuse = 1;
        setsockopt(listener_, SOL_SOCKET, SO_REUSEADDR, reinterpret_cast<const char*>(&reuse),
                   sizeof reuse);
        sockaddr_in at{};
        at.sin_family = AF_INET;
        at.sin_port = htons(static_cast<unsigned short>(port));
        at.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        socklen_t length = sizeof at;
        bind(listener_, reinterpret_cast<sockaddr*>(&at), sizeof at);
        listen(listener_, backlog);
        getsockname(listener_, reinterpret_cast<sockaddr*>(&at), &length);
        port_ = ntohs(at.sin_port);
    }
    ~LoopbackListener() { Close(); }
    LoopbackListener(const LoopbackListener&) = delete;
    LoopbackListener& operator=(const LoopbackListener&) = delete;

    int port() const { return port_; }
    std::string Where() const { return "127.0.0.1:" + std::to_string(port_); }
    // A client that came within `ms`, or kNoSocket.
    TestSocket Accept(int ms) {
        if (!ReadableWithin(listener_, ms)) return kNoSocket;
        return accept(listener_, nullptr, nullptr);
    }
    // Nobody listens on the port afterwards: a connection there is refused.
    void Close() {
        if (listener_ != kNoSocket) CloseSocket(listener_);
        listener_ = kNoSocket;
    }

  private:
    TestSocket listener_ = kNoSocket;
    int port_ = 0;
};

}  // namespace zep8::testing
