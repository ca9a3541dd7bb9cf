// The program's port settings kept between runs, in the names and formats
// earlier versions wrote.
#include "app/preferences.h"

#include <gtest/gtest.h>

#include "model/net_rs485_prg.h"
#include "platform/memory_settings_store.h"

#ifdef _WIN32
#include <windows.h>

#include "platform/registry_settings_store.h"
#endif

namespace zep8 {
namespace {

TEST(ProgramSettings, EmptyStoreGivesTheDefaults) {
    MemorySettingsStore store;
    NetRS485prg node;
    Preferences(store).LoadProgramSettings(node);
    EXPECT_EQ(node.GetValue("Port"), "COM1");
    EXPECT_EQ(node.GetValue("bPS"), "9600");
    EXPECT_EQ(node.GetValue("LEn"), "8");
    EXPECT_EQ(node.GetValue("PrtY"), "Отсутствует");
    EXPECT_EQ(node.GetValue("Sbit"), "1");
    EXPECT_EQ(node.GetValue("A.Len"), "8");
    EXPECT_EQ(node.GetValue("Addr"), "16");
    for (const auto& p : node.parameters()) EXPECT_FALSE(p->changed || p->hasAttributes);
}

TEST(ProgramSettings, StoredAndLoadedAgain) {
    MemorySettingsStore store;
    NetRS485prg node;
    Preferences(store).LoadProgramSettings(node);
    node.SetValue("bPS", "115200", true);
    node.SetValue("PrtY", "Нечетность", true);
    node.SetValue("Addr", "2040", true);
    node.SetValue("Port", "COM3", true);
    Preferences(store).StoreProgramSettings(node);
    EXPECT_EQ(store.readInt("SOFTWARE\\ARVO\\ZEP8", "parity_scheme"), 3);
    EXPECT_EQ(store.readInt("SOFTWARE\\ARVO\\ZEP8", "port_number"), 3);

    NetRS485prg again;
    Preferences(store).LoadProgramSettings(again);
    EXPECT_EQ(again.GetValue("bPS"), "115200");
    EXPECT_EQ(again.GetValue("PrtY"), "Нечетность");
    EXPECT_EQ(again.GetValue("Addr"), "2040");
    EXPECT_EQ(again.GetValue("Port"), "COM3");

    again.SetValue("Port", "/dev/serial/by-id/usb-FTDI-if00", true);
    Preferences(store).StoreProgramSettings(again);
    NetRS485prg third;
    Preferences(store).LoadProgramSettings(third);
    EXPECT_EQ(third.GetValue("Port"), "/dev/serial/by-id/usb-FTDI-if00");
    third.SetValue("Port", "COM2", true);
    Preferences(store).StoreProgramSettings(third);
    Preferences(store).LoadProgramSettings(third);
    EXPECT_EQ(third.GetValue("Port"), "COM2");
}

TEST(ProgramSettings, TheLastFewServersAreRemembered) {
    MemorySettingsStore store;
    NetRS485prg node;
    Preferences(store).LoadProgramSettings(node);
    for (const char* port : {"tcp://a:1", "rfc2217://b:2", "ttyUSB0", "tcp://c:3", "tcp://d:4",
                             "tcp://a:1", "tcp://e:5"}) {
        node.SetValue("Port", port, true);
        Preferences(store).StoreProgramSettings(node);
    }
    EXPECT_EQ(Preferences(store).recentRemotePorts(),
              (std::vector<std::string>{"tcp://e:5", "tcp://a:1", "tcp://d:4", "tcp://c:3"}));
    Preferences(store).LoadProgramSettings(node);
    EXPECT_EQ(node.GetValue("Port"), "tcp://e:5");
}

TEST(ProgramSettings, KeptServersWithTheirTrustAreOfferedBesideThePorts) {
    MemorySettingsStore store;
    Preferences preferences(store);
    ServerEntry hall{true, true, "plc-hall", 7002, {"/etc/zep8/ca.pem", "", "", ""}};
    const ServerEntry yard{false, false, "10.0.0.9", 4001, {}};
    preferences.KeepServer(hall);
    preferences.KeepServer(yard);
    preferences.KeepServer(yard);  // not twice
    preferences.PinFingerprint("PLC-HALL:7002", std::string(64, 'a'));
    std::vector<ServerEntry> kept = preferences.keptServers();
    ASSERT_EQ(kept.size(), 2u);
    EXPECT_EQ(kept[0].PortName(), "rfc2217+tls://plc-hall:7002");
    EXPECT_EQ(kept[0].trust.caFile, "/etc/zep8/ca.pem");
    EXPECT_EQ(kept[0].trust.fingerprint, std::string(64, 'a'));
    EXPECT_EQ(kept[1].PortName(), "tcp://10.0.0.9:4001");

    // An edit keeps its place; a server used lately but not kept comes after.
    hall.port = 7003;
    preferences.KeepServer(hall, "rfc2217+tls://plc-hall:7002");
    store.writeString(kProgramKey, "remote_ports", "tcp://10.0.0.9:4001\ntcp://old:1");
    EXPECT_EQ(preferences.PortChoice("ttyS0:ttyUSB0"),
              "ttyS0:ttyUSB0:rfc2217+tls://plc-hall:7003:tcp://10.0.0.9:4001:tcp://old:1");
    preferences.ForgetServer("TCP://10.0.0.9:4001");
    kept = preferences.keptServers();
    ASSERT_EQ(kept.size(), 1u);
    EXPECT_EQ(kept[0].PortName(), "rfc2217+tls://plc-hall:7003");
    EXPECT_EQ(kept[0].trust.caFile, "/etc/zep8/ca.pem");
}

#ifdef _WIN32
// The registry key is shared with the maker's other configurators, which read
// the password as text: a text value is checked as it is and never rewritten,
// a change stays text, and so does a first password.
TEST(PasswordInTheRegistry, StaysTextTheOtherConfiguratorsRead) {
    const std::string prefix = "Software\\ZEP8 Password Tests\\";
    RegDeleteTreeW(HKEY_CURRENT_USER, L"Software\\ZEP8 Password Tests");
    RegDeleteTreeW(HKEY_LOCAL_MACHINE, L"Software\\ZEP8 Password Tests");
    RegistrySettingsStore store(prefix);
    ASSERT_TRUE(store.createKey(kProgramKey));
    ASSERT_EQ(Preferences(store).StorePassword("1234"), PASSWORD_WRITE_OK);
    EXPECT_EQ(store.readString(kProgramKey, "password"), "1234");

    ASSERT_TRUE(store.writeString(kProgramKey, "password", "4711"));  // another configurator's
    EXPECT_EQ(Preferences(store).OperatorPassword(), "4711");
    EXPECT_EQ(store.readString(kProgramKey, "password"), "4711");
    ASSERT_EQ(Preferences(store).StorePassword("4712"), PASSWORD_WRITE_OK);
    EXPECT_EQ(store.readString(kProgramKey, "password"), "4712");
    RegDeleteTreeW(HKEY_CURRENT_USER, L"Software\\ZEP8 Password Tests");
    RegDeleteTreeW(HKEY_LOCAL_MACHINE, L"Software\\ZEP8 Password Tests");
}
#endif

}  // namespace
}  // namespace zep8
