#pragma once

// A server that breaks the rules of a serial device server, in a thread of
// its own on the loopback: what a broken device server, or anyone on the
// path, may send. It takes one client after another until it goes.
#ifndef _WIN32
#include <fcntl.h>
#endif

#include <atomic>
#include <cerrno>
#include <chrono>
#include <string>
#include <thread>

#include "support/loopback_socket.h"

namespace zep8::testing {

class HostilePeer {
  public:
    enum class Act {
        Flood,                  // bytes without pause
        EndlessSubnegotiation,  // IAC SB, then never IAC SE
        DoFloodNeverReading,    // IAC DO in a loop, and nothing of ours read
        ByteASecond,            // one byte a second
    };

    explicit HostilePeer(Act act) : act_(act) {
        thread_ = std::thread([this] {
            while (!done_.load()) {
                const TestSocket client = listener.Accept(100);
                if (client == kNoSocket) continue;
                ++clients;
                SetNonBlocking(client);  // a client that reads nothing never holds the peer
                Play(client);
                CloseSocket(client);
            }
        });
    }
    ~HostilePeer() {
        done_ = true;
        thread_.join();
    }
    HostilePeer(const HostilePeer&) = delete;
    HostilePeer& operator=(const HostilePeer&) = delete;

    LoopbackListener listener;
    std::atomic<int> clients{0};

  private:
    // Until the client goes or the peer is done; nothing here waits long.
    void Play(TestSocket client) {
        const std::string iac = "\xFF";
        std::string chunk;
        switch (act_) {
            case Act::Flood:
                chunk.assign(1024, '#');
                break;
            case Act::EndlessSubnegotiation:
                if (!SendAll(client, iac + "\xFA\x2C")) return;  // IAC SB COM-PORT-OPTION
                chunk.assign(1024, 'x');
                break;
            case Act::DoFloodNeverReading:
                for (int i = 0; i < 341; ++i) chunk += iac + "\xFD\x63";  // IAC DO 99
                break;
            case Act::ByteASecond:
                chunk = ">";
                break;
        }
        const bool reads = act_ != Act::DoFloodNeverReading;
        while (!done_.load()) {
            if (reads && ReadableWithin(client, 0)) {
                char buffer[512];
                if (ReceiveSome(client, buffer, sizeof buffer) <= 0) return;
            }
            if (!WritableWithin(client, 50)) continue;
            const int sent = static_cast<int>(
                send(client, chunk.data(), static_cast<int>(chunk.size()), kNoSignal));
            if (sent <= 0 && !WouldBlock()) return;
            if (act_ == Act::ByteASecond) {
                for (int i = 0; i < 10 && !done_.load(); ++i)
                    std::this_thread::sleep_for(std::chrono::milliseconds(100));
            }
        }
    }

    static void SetNonBlocking(TestSocket s) {
#ifdef _WIN32
        u_long on = 1;
        ioctlsocket(s, FIONBIO, &on);
#else
        fcntl(s, F_SETFL, fcntl(s, F_GETFL) | O_NONBLOCK);
#endif
    }
    static bool WouldBlock() {
#ifdef _WIN32
        return WSAGetLastError() == WSAEWOULDBLOCK;
#else
        return errno == EAGAIN || errno == EWOULDBLOCK;
#endif
    }

    Act act_;
    std::atomic<bool> done_{false};
    std::thread thread_;
};

}  // namespace zep8::testing
