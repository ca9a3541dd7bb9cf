#include "link/remote/remote_connection.h"

#include <atomic>
#include <mutex>
#include <vector>

namespace zep8 {
namespace {

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

RemoteConnection::~RemoteConnection() {
    tls.reset();  // before its socket closes
}

int RemoteConnection::Send(std::string_view bytes, Event& stop,
                           std::chrono::steady_clock::time_point deadline) {
    // Both channels give the same codes.
    static_assert(int{TlsChannel::kStopped} == kStopped && int{TlsChannel::kStalled} == kStalled &&
                  int{TcpSocket::kStopped} == kStopped && int{TcpSocket::kStalled} == kStalled);
    if (tls) {
        const int result = tls->Write(bytes, stop, deadline);
        if (result == TlsChannel::kBroken) broken_ = tls->BrokenReason();
        return result;
    }
    const int result = socket_.Send(bytes, stop, deadline);
    if (result == TcpSocket::kBroken) broken_ = socket_.BrokenReason();
    return result;
}

int RemoteConnection::Receive(char* buffer, std::size_t size) {
    if (tls) {
        const int n = tls->Read(buffer, size);
        if (n == TlsChannel::kBroken) broken_ = tls->BrokenReason();
        return n;
    }
    const int n = socket_.Receive(buffer, size);
    if (n == TcpSocket::kBroken) broken_ = socket_.BrokenReason();
    return n;
}

void RemoteConnection::CloseGracefully(Event* stop) {
    if (tls) tls->Shutdown();
    socket_.CloseGracefully(stop, kCloseWait);
    tls.reset();
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
