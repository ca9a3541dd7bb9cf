// The program's port settings kept between runs, in the names and formats
// earlier versions wrote.
#include "app/preferences.h"

#include <gtest/gtest.h>

#include "model/net_rs485_prg.h"
#include "platform/memory_settings_store.h"

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

}  // namespace
}  // namespace zep8
