#include "link/remote_connection.h"

#include <netinet/in.h>
#include <netinet/tcp.h>
#include <sys/socket.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <mutex>
#include <vector>

#include "link/tls_texts.h"

namespace zep8 {
namespace {

using Clock = std::chrono::steady_clock;

struct Parked {
    std::mutex mutex;
    std::vector<std::unique_ptr<RemoteConnection>> connections;
    std::atomic<int> made{0};
};

Parked& ParkedConnections() {
    static Parked parked;
    return parked;
}

}  // namespace

void AcknowledgeAtOnce(int fd) {
    const int on = 1;
    setsockopt(fd, IPPROTO_TCP, TCP_QUICKACK, &on, sizeof on);
}

RemoteConnection::~RemoteConnection() {
    tls.reset();
    if (fd_ >= 0) ::close(fd_);
}

int RemoteConnection::Send(std::string_view bytes, Event& stop) {
    if (tls) {
        const int result = tls->Write(bytes, stop);
        if (result == TlsChannel::kBroken) broken_ = tls->BrokenReason();
        return result == 0 ? 0 : result == TlsChannel::kStopped ? kStopped : kBroken;
    }
    while (!bytes.empty()) {
        const ssize_t n = ::send(fd_, bytes.data(), bytes.size(), MSG_NOSIGNAL);
        if (n > 0) {
            bytes.remove_prefix(static_cast<std::size_t>(n));
            continue;
        }
        if (n < 0 && errno == EINTR) continue;
        if (n < 0 && errno != EAGAIN) {
            broken_ = SocketErrorText(errno);
            return kBroken;
        }
        if (Event::waitAny({&stop}, Event::kInfinite, fd_, Event::kWritable) == 0) return kStopped;
    }
    return 0;
}

int RemoteConnection::Receive(char* buffer, std::size_t size) {
    if (tls) {
        const int n = tls->Read(buffer, size);
        if (n == TlsChannel::kBroken) broken_ = tls->BrokenReason();
        return n;
    }
    const ssize_t n = ::recv(fd_, buffer, size, 0);
    AcknowledgeAtOnce(fd_);
    if (n > 0) return static_cast<int>(n);
    if (n == 0) return kClosed;
    if (errno == EINTR || errno == EAGAIN) return kNothing;
    broken_ = SocketErrorText(errno);
    return kBroken;
}

void RemoteConnection::CloseGracefully(Event* stop) {
    if (tls) tls->Shutdown();
    ::shutdown(fd_, SHUT_WR);
    Event never(Event::Reset::Manual);
    Event& wake = stop ? *stop : never;
    const auto deadline = Clock::now() + kCloseWait;
    for (;;) {
        if (Event::waitAny({&wake}, Event::Remaining(deadline), fd_) != 1) break;
        char buffer[256];
        const ssize_t n = ::recv(fd_, buffer, sizeof buffer, 0);
        if (n == 0 || (n < 0 && errno != EINTR && errno != EAGAIN)) break;
    }
    tls.reset();
    ::close(fd_);
    fd_ = -1;
}

void RemoteConnections::Park(std::unique_ptr<RemoteConnection> connection) {
    Parked& parked = ParkedConnections();
    std::lock_guard lock(parked.mutex);
    parked.connections.push_back(std::move(connection));
}

std::unique_ptr<RemoteConnection> RemoteConnections::Take(const std::string& key) {
    std::unique_ptr<RemoteConnection> found;
    std::vector<std::unique_ptr<RemoteConnection>> others;
    {
        Parked& parked = ParkedConnections();
        std::lock_guard lock(parked.mutex);
        for (auto& connection : parked.connections) {
            if (!found && connection->key() == key) {
                found = std::move(connection);
            } else {
                others.push_back(std::move(connection));
            }
        }
        parked.connections.clear();
    }
    for (auto& other : others) other->CloseGracefully(nullptr);
    return found;
}

void RemoteConnections::ReleaseAll() {
    std::vector<std::unique_ptr<RemoteConnection>> all;
    {
        Parked& parked = ParkedConnections();
        std::lock_guard lock(parked.mutex);
        all.swap(parked.connections);
    }
    for (auto& connection : all) connection->CloseGracefully(nullptr);
}

int RemoteConnections::Made() {
    return ParkedConnections().made.load();
}

void RemoteConnections::CountMade() {
    ++ParkedConnections().made;
}

}  // namespace zep8
