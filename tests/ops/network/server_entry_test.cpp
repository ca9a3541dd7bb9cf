// A server as the "Сервер" window sets it up: its name is the terminal's.
#include "ops/network/server_entry.h"

#include <gtest/gtest.h>

namespace zep8 {
namespace {

TEST(ServerEntry, NameRoundTrip) {
    for (const char* name : {"rfc2217+tls://plc-hall:7002", "rfc2217://10.1.2.3:2217",
                             "tcp://gw:4001", "tcp+tls://[fe80::1]:4443"}) {
        const std::optional<ServerEntry> entry = ServerEntry::FromPortName(name);
        ASSERT_TRUE(entry) << name;
        EXPECT_EQ(entry->PortName(), name);
    }
    const TlsSettings trust{"ca.pem", std::string(64, 'b'), "", ""};
    const auto hall = ServerEntry::FromPortName("RFC2217+TLS://plc-hall:07002", trust);
    ASSERT_TRUE(hall);
    EXPECT_TRUE(hall->rfc2217 && hall->tls);
    EXPECT_EQ(hall->PortName(), "rfc2217+tls://plc-hall:7002");
    EXPECT_EQ(hall->Server(), "plc-hall:7002");
    EXPECT_EQ(hall->trust, trust);
    // A plain line keeps no trust.
    EXPECT_EQ(ServerEntry::FromPortName("tcp://gw:4001", trust)->trust, TlsSettings{});
    for (const char* name : {"ttyUSB0", "COM3", "tcp://gw", "rfc2217://:7002", "tcp://gw:70000"})
        EXPECT_FALSE(ServerEntry::FromPortName(name)) << name;
}

TEST(ServerEntry, FaultsInTheOperatorsWords) {
    ServerEntry entry;
    entry.port = 7002;
    EXPECT_EQ(entry.Fault(), "Укажите имя или адрес сервера.");
    entry.host = "rfc2217://plc-hall";
    EXPECT_NE(entry.Fault().find("без пробелов и без вида линии"), std::string::npos);
    entry.host = "[::1]";
    EXPECT_EQ(entry.Fault(), "");
    EXPECT_EQ(entry.PortName(), "rfc2217://[::1]:7002");
    entry.host = "plc-hall";
    entry.port = 0;
    EXPECT_NE(entry.Fault().find("от 1 до 65535"), std::string::npos);
    entry.port = 7002;

    // Over TLS: a fingerprint as typed is put into its form; a key needs its certificate.
    entry.tls = true;
    entry.trust.fingerprint = "AB:" + std::string(62, 'C');
    EXPECT_EQ(entry.Fault(), "");
    EXPECT_EQ(entry.trust.fingerprint, "ab" + std::string(62, 'c'));
    entry.trust.fingerprint = "AB:CD";
    EXPECT_NE(entry.Fault().find("64 шестнадцатеричные цифры"), std::string::npos);
    entry.trust.fingerprint.clear();
    entry.trust.keyFile = "/nowhere/client.key";
    EXPECT_EQ(entry.Fault(), "Ключ клиента задан без сертификата клиента.");
    entry.trust.certFile = "/nowhere/client.pem";
    EXPECT_EQ(entry.Fault(), "Файл сертификата клиента /nowhere/client.pem не найден.");

    // Without TLS, what was typed for it is not kept.
    entry.tls = false;
    EXPECT_EQ(entry.Fault(), "");
    EXPECT_EQ(entry.trust, TlsSettings{});
}

}  // namespace
}  // namespace zep8
