#include <gtest/gtest.h>

#include "model/net_rs485.h"
#include "model/net_rs485_prg.h"
#include "ops/network/network_apply.h"
#include "support/device_on_pty.h"

namespace zep8 {
namespace {

class NetworkRules : public ::testing::Test {
  protected:
    void SetUp() override {
        net.InitParameters();
        for (const auto& [name, value] :
             std::initializer_list<std::pair<const char*, const char*>>{{"LEn", "8"},
                                                                        {"Sbit", "1"},
                                                                        {"PrtY", "Отсутствует"},
                                                                        {"A.Len", "8"},
                                                                        {"Addr", "16"},
                                                                        {"Prot", "АРВО"}}) {
            net.SetValue(name, value, false);
        }
    }
    NetRS485 net;
};

TEST_F(NetworkRules, CharacterFormats) {
    net.SetValue("Sbit", "1", false);
    EXPECT_FALSE(net.IsFormatAllowed("LEn", "7"));  // 7N1
    net.SetValue("Sbit", "2", false);
    EXPECT_TRUE(net.IsFormatAllowed("len", "7"));           // 7N2
    EXPECT_FALSE(net.IsFormatAllowed("PRTY", "четность"));  // 8E2, case ignored
    EXPECT_FALSE(net.IsFormatAllowed("PrtY", "Нечетность"));
    net.SetValue("Sbit", "1", false);
    EXPECT_TRUE(net.IsFormatAllowed("PrtY", "Четность"));
    EXPECT_FALSE(net.IsFormatAllowed("Sbit", "2") && net.GetValue("PrtY") != "Отсутствует");
    EXPECT_TRUE(net.IsFormatAllowed("Addr", "anything"));
}

TEST_F(NetworkRules, Addressing) {
    EXPECT_FALSE(net.IsAddressingAllowed("Addr", "300"));  // 8-bit addresses
    net.SetValue("A.Len", "11", false);
    EXPECT_TRUE(net.IsAddressingAllowed("addr", "304"));
    EXPECT_FALSE(net.IsAddressingAllowed("Addr", "300"));  // not a multiple of 8
    EXPECT_FALSE(net.IsAddressingAllowed("Addr", "17"));
    net.SetValue("Prot", "ModBUS-RTU", false);
    EXPECT_TRUE(net.IsAddressingAllowed("Addr", "17"));
    EXPECT_FALSE(net.IsAddressingAllowed("Addr", "304"));

    net.SetValue("Prot", "АРВО", false);
    net.SetValue("Addr", "512", false);
    EXPECT_FALSE(net.IsAddressingAllowed("Prot", "DCON"));
    EXPECT_FALSE(net.IsAddressingAllowed("A.Len", "8"));
    EXPECT_TRUE(net.IsAddressingAllowed("A.Len", "11"));
    net.SetValue("Addr", "20", false);
    EXPECT_FALSE(net.IsAddressingAllowed("Prot", "АРВО"));
    EXPECT_TRUE(net.IsAddressingAllowed("Prot", "DCON"));

    NetRS485prg program;  // no protocol: the own one
    program.InitParameters();
    program.SetValue("A.Len", "8", false);
    EXPECT_FALSE(program.IsAddressingAllowed("Addr", "17"));
    EXPECT_TRUE(program.IsAddressingAllowed("Addr", "24"));
}

class Apply : public testing::DeviceOnPty {};

TEST_F(Apply, DialogTexts) {
    EXPECT_EQ(ModuleSettingsText(nullptr),
              "Нет данных - контекст устройства не получен диалогом APLY\n\nВнутренняя ошибка "
              "программы");
    EXPECT_EQ(ProgramSettingsText(nullptr),
              "Нет данных - контекст устройства не получен диалогом.\n\nВнутренняя ошибка "
              "программы");
    ASSERT_TRUE(device->ReadAll());
    EXPECT_EQ(ModuleSettingsText(device.get()),
              "Скорость обмена данными: 115200\nДлина слова данных: 8\nКонтроль по четности "
              "слова данных: Отсутствует\nКоличество стоп-бит в посылке: 1\nДлина сетевого "
              "адреса: 8\nБазовый адрес прибора: 16\n");
    EXPECT_EQ(ProgramSettingsText(device.get()),
              "Скорость: 115200\nДлина слова данных: 8\nЧетность: Отсутствует\nКол-во стоп-бит: "
              "1\nДлина адреса: 8\nАдрес: 16\nПорт: " +
                  simulated.portPath() + "\n");
}

TEST_F(Apply, ModuleAndProgramMoveToTheNewAddressTogether) {
    ASSERT_TRUE(device->ReadAll());
    device->netNode.SetValue("Addr", "32", true);
    ASSERT_TRUE(device->WriteChanged());
    ApplyNetworkSettings(*device, ApplyChoices{});
    EXPECT_EQ(module().activeSettings().address, 32);
    EXPECT_EQ(device->port().settings.baseAddress, 32);
    EXPECT_EQ(prompter.count(), 0u) << prompter.messages()[0].text;
    EXPECT_EQ(module().count("APLY").received, 1);
}

TEST_F(Apply, AllModulesHearItFourTimes) {
    ASSERT_TRUE(device->ReadAll());
    ApplyChoices choices;
    choices.changeProgram = false;
    choices.allDevices = true;
    ApplyNetworkSettings(*device, choices);
    EXPECT_EQ(module().count("APLY").received, 4);
    choices.threeTimes = false;
    ApplyNetworkSettings(*device, choices);
    EXPECT_EQ(module().count("APLY").received, 6);
}

TEST_F(Apply, LostModuleIsReported) {
    ASSERT_TRUE(device->ReadAll());
    device->netNode.SetValue("bPS", "9600", false);  // the program follows, the module does not
    ApplyNetworkSettings(*device, ApplyChoices{});
    ASSERT_EQ(prompter.count(), 1u);
    EXPECT_EQ(prompter.messages()[0].caption, "Имела место ошибка");
    EXPECT_EQ(prompter.messages()[0].text,
              "Ошибка команды 'dev':\nТаймаут при передаче данных (нет связи)\n");
}

TEST_F(Apply, ThePollsStandAsideFromTheApplyToTheReconnect) {
    ApplyChoices choices;
    {
        NetworkApply apply(*device, choices);
        apply.SendApply();
        EXPECT_FALSE(device->polls().Enter());
        apply.FollowModule();  // on the window thread, between the two
        EXPECT_FALSE(device->polls().Enter());
        apply.Reconnect();
        ASSERT_TRUE(device->polls().Enter());
        device->polls().Leave();
    }
    {
        // A dialog that goes between the two steps lets them come back too.
        NetworkApply dropped(*device, choices);
        dropped.SendApply();
        EXPECT_FALSE(device->polls().Enter());
    }
    ASSERT_TRUE(device->polls().Enter());
    device->polls().Leave();
}

TEST_F(Apply, AutomatedApplyCopiesWhatIsKnown) {
    device->netNode.SetValue("Addr", "48", false);
    ApplyNetworkSettingsAutomated(*device);
    EXPECT_EQ(device->programNet().GetValue("Addr"), "48");
    EXPECT_EQ(device->programNet().GetValue("bPS"), "115200");  // "no data" is not copied
    EXPECT_EQ(device->port().settings.baseAddress, 48);
    EXPECT_EQ(module().count("APLY").received, 1);
}

}  // namespace
}  // namespace zep8
