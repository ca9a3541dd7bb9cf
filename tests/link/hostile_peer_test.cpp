// Servers that break the rules of a serial device server: a flood, an
// endless Telnet subnegotiation, requests sent in a loop to a client whose
// bytes they never read, a byte a second. Each exchange ends within its own
// deadline with a reason that names the server and what it did, and the
// next one connects anew. A server that cannot be reached is tried again
// only after its back-off.
#include <gtest/gtest.h>

#include <chrono>
#include <string>
#include <thread>

#include "link/line/run_stop.h"
#include "link/remote/remote_line.h"
#include "link/remote/tls_channel.h"
#include "link/remote/tls_settings.h"
#include "support/hostile_peer.h"
#include "support/remote_port.h"

namespace zep8 {
namespace {

using namespace std::chrono_literals;
using Clock = std::chrono::steady_clock;
using testing::HostilePeer;
using testing::RemotePort;

struct Case {
    const char* name;
    HostilePeer::Act act;
    const char* scheme;
    const char* said;  // what the reason says the server did
};

class HostileServer : public ::testing::TestWithParam<Case> {};

TEST_P(HostileServer, EndsTheExchangeInTimeAndNamesTheServer) {
    const Case& c = GetParam();
    HostilePeer peer(c.act);
    const std::string where = peer.listener.Where();
    RemotePort port(std::string(c.scheme) + "://" + where);
    // The first exchange meets the server; the next one, at once, gets the
    // reason from memory; after the back-off one connects anew.
    const std::chrono::milliseconds pauses[] = {0ms, 0ms, RemoteLine::kFirstBackOff};
    const int clients[] = {1, 1, 2};
    for (int round = 0; round < 3; ++round) {
        std::this_thread::sleep_for(pauses[round]);
        const auto started = Clock::now();
        std::string reply;
        const int result = port.Transfer("#01\r", reply);
        const auto took = Clock::now() - started;
        EXPECT_EQ(result, TRANSFER_LINE_GONE) << c.name;
        EXPECT_LT(took, round == 1 ? 50ms : RemoteLine::kOpenLimit + 1s) << c.name;
        EXPECT_NE(port.OpenFailureReason().find("Сервер " + where + " " + c.said),
                  std::string::npos)
            << port.OpenFailureReason();
        EXPECT_FALSE(port.IsOpen());
        EXPECT_EQ(peer.clients.load(), clients[round]) << c.name << ", round " << round;
    }
}

INSTANTIATE_TEST_SUITE_P(
    Peers, HostileServer,
    ::testing::Values(
        Case{"Flood", HostilePeer::Act::Flood, "tcp", "шлёт данные без остановки"},
        Case{"EndlessSubnegotiation", HostilePeer::Act::EndlessSubnegotiation, "rfc2217",
             "шлёт согласование Telnet без конца"},
        Case{"DoFloodNeverReading", HostilePeer::Act::DoFloodNeverReading, "rfc2217",
             "не принимает данные"}),
    [](const auto& info) { return std::string(info.param.name); });

// A byte now and then is not a reply: the exchange times out as on a quiet line.
TEST(HostileServer, AByteASecondTimesOutLikeSilence) {
    HostilePeer peer(HostilePeer::Act::ByteASecond);
    RemotePort port("tcp://" + peer.listener.Where());
    ASSERT_EQ(port.Open(), OPEN_OK);
    for (int i = 0; i < 3; ++i) {
        const auto started = Clock::now();
        std::string reply;
        EXPECT_EQ(port.Transfer("#01\r", reply), TRANSFER_TIMEOUT);
        EXPECT_LT(Clock::now() - started, 1s);
    }
}

// "Прервать" reaches a wait inside the line, not only the next exchange.
TEST(HostileServer, TheRunsStopEndsAWaitOnTheLine) {
    HostilePeer peer(HostilePeer::Act::ByteASecond);  // never agrees to COM Port Control
    RemotePort port("rfc2217://" + peer.listener.Where());
    Event stop(Event::Reset::Manual);
    std::thread stopper([&] {
        std::this_thread::sleep_for(200ms);
        stop.set();
    });
    const RunStop run(&stop);
    const auto started = Clock::now();
    EXPECT_NE(port.Open(), OPEN_OK);
    EXPECT_LT(Clock::now() - started, 1s);
    stopper.join();
}

// A pin damaged in the settings is not taken for no pin at all.
TEST(RemoteLine, ADamagedStoredFingerprintIsRefusedNotIgnored) {
    const TlsSettings stored = TlsSettings::FromText("fingerprint=12:ab:zz\n");
    EXPECT_EQ(stored.fingerprint, "12:ab:zz");
    if (!TlsChannel::Unavailable("x").empty()) GTEST_SKIP() << "no TLS in this build";
    HostilePeer peer(HostilePeer::Act::ByteASecond);
    SetTlsSettingsProvider([&](const std::string&) { return stored; });
    RemotePort port("tcp+tls://" + peer.listener.Where());
    EXPECT_EQ(port.Open(), OPEN_CANNOT_OPEN);
    SetTlsSettingsProvider(nullptr);
    EXPECT_NE(port.OpenFailureReason().find("Отпечаток сертификата сервера в настройках повреждён"),
              std::string::npos)
        << port.OpenFailureReason();
}

TEST(RemoteLine, AServerThatCouldNotBeReachedIsTriedAgainAfterItsBackOff) {
    testing::LoopbackListener gone;
    const int number = gone.port();
    gone.Close();
    RemotePort port("tcp://127.0.0.1:" + std::to_string(number));
    ASSERT_EQ(port.Open(), OPEN_CANNOT_OPEN);
    const std::string reason = port.OpenFailureReason();

    // Back on the same port at once: the line does not knock within its back-off.
    testing::LoopbackListener back(number);
    ASSERT_EQ(back.port(), number);
    const auto started = Clock::now();
    EXPECT_EQ(port.Open(), OPEN_CANNOT_OPEN);
    EXPECT_LT(Clock::now() - started, 50ms);
    EXPECT_EQ(port.OpenFailureReason(), reason);
    EXPECT_EQ(back.Accept(0), testing::kNoSocket);

    std::this_thread::sleep_for(RemoteLine::kFirstBackOff);
    EXPECT_EQ(port.Open(), OPEN_OK);
    const testing::TestSocket client = back.Accept(1000);
    EXPECT_NE(client, testing::kNoSocket);
    port.Disconnect();
    testing::CloseSocket(client);
}

}  // namespace
}  // namespace zep8
