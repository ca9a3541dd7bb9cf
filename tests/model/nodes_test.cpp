#include <gtest/gtest.h>

#include "model/channels.h"
#include "model/common.h"
#include "model/common_params.h"
#include "model/net_rs485.h"
#include "model/net_rs485_prg.h"
#include "support/fake_session.h"

namespace zep8 {
namespace {

using testing::FakeSession;
using Names = std::vector<std::string>;

Names NamesOf(const ObjectWithParameters& node) {
    Names names;
    for (const auto& p : node.parameters()) names.push_back(p->name);
    return names;
}

TEST(Nodes, EachNodeBuildsItsParametersInOrder) {
    Common common;
    common.InitParameters();
    EXPECT_EQ(NamesOf(common), (Names{"dev", "ver", "exit"}));
    EXPECT_EQ(common.caption, "Общие параметры прибора");

    NetRS485 net;
    net.InitParameters();
    EXPECT_EQ(NamesOf(net),
              (Names{"bPS", "LEn", "PrtY", "Sbit", "A.Len", "Addr", "RS.dL", "Prot"}));
    EXPECT_EQ(net.caption, "Сетевые параметры прибора");
    EXPECT_EQ(net.GetFullName(), "Сетевые параметры прибора (Сеть RS-485)");

    NetRS485prg program;
    program.InitParameters();
    EXPECT_EQ(NamesOf(program),
              (Names{"bPS", "LEn", "PrtY", "Sbit", "A.Len", "Addr", "Port", "Echo"}));
    EXPECT_EQ(program.caption, "Сетевые параметры программы");
    for (const auto& p : program.parameters()) EXPECT_FALSE(p->hasAttributes) << p->name;

    // Rebuilding replaces the list.
    net.FindParameter("Addr")->value = "32";
    net.InitParameters();
    EXPECT_EQ(net.parameters().size(), 8u);
    EXPECT_EQ(net.GetValue("Addr"), "Нет данных");
}

TEST(Nodes, FixedDescriptions) {
    Channel channel;
    EXPECT_EQ(channel.GetTypeName(), "Вход");
    EXPECT_EQ(channel.GetNumber(), -999);
    EXPECT_EQ(channel.GetGroupName(), "Не относящиеся ко схеме");
    EXPECT_EQ(channel.GetPlacement(), (std::array<std::uint8_t, 16>{}));
    EXPECT_EQ(InvisibleElement().GetTypeName(), "Невизуальный элемент");
    EXPECT_EQ(Channels().GetImage(), 5);
    EXPECT_EQ(Channels().GetSelectedImage(), 6);
    EXPECT_EQ(NetRS485prg().GetImage(), 19);
    EXPECT_EQ(CommonParams().GetSelectedImage(), 20);
}

TEST(Nodes, ServiceRowsHoldTheProgramInformationUnchanged) {
    CommonParams service(ProgramInfo{"1.2.3", "(C) test", "Linux 6.1 x86_64"});
    service.InitParameters();
    EXPECT_EQ(NamesOf(service), (Names{" ", "  ", "   "}));
    EXPECT_EQ(service.parameters()[0]->value, "1.2.3");
    EXPECT_EQ(service.parameters()[1]->value, "(C) test");
    EXPECT_EQ(service.parameters()[2]->value, "Linux 6.1 x86_64");
    for (const auto& p : service.parameters()) EXPECT_FALSE(p->IsPending());

    CommonParams bare(ProgramInfo{"", "", "<неизвестно>"});
    bare.InitParameters();
    EXPECT_EQ(bare.parameters()[0]->value, "Нет данных");
    EXPECT_EQ(bare.parameters()[2]->value, "<неизвестно>");
}

TEST(Nodes, ChannelsGiveEachInputItsIndexAndCaption) {
    Channels channels;
    channels.InitParameters();
    EXPECT_EQ(NamesOf(channels), (Names{"Cj-.C"}));
    RecordingPrompter prompter;
    for (int i = 0; i < 8; ++i) {
        const Channel& c = channels.channel(i);
        EXPECT_EQ(c.caption, "Вход №" + std::to_string(i + 1));
        EXPECT_EQ(NamesOf(c), (Names{"in-t", "in.Fd", "Itrl", "in.SH", "in.SL", "in.FG", "Ain.L",
                                     "Ain.H", "dP"}));
        for (const auto& p : c.parameters()) EXPECT_EQ(p->index, i);
        EXPECT_EQ(c.GetCommonIndex(prompter), i);
    }
    EXPECT_EQ(prompter.count(), 0u);
    EXPECT_EQ(channels.GetCommonIndex(prompter), -1);
    EXPECT_EQ(channels.logSwitch.name, "    ");
    EXPECT_EQ(channels.FindParameter("    "), nullptr);  // not a row
}

TEST(Nodes, SuspiciousIndexWarnsAndTheFirstIndexWins) {
    Channel c;
    c.InitParameters();
    c.parameters()[0]->index = 2;
    c.parameters()[1]->index = 2;
    c.parameters()[4]->index = 5;
    RecordingPrompter prompter;
    EXPECT_EQ(c.GetCommonIndex(prompter), 2);
    ASSERT_EQ(prompter.count(), 7u);  // every parameter after the first two differs
    const auto first = prompter.messages()[0];
    EXPECT_EQ(first.text,
              "Параметер 'Itrl' (Интервал между измерениями) имеет подозрительный линейный "
              "индекс.");
    EXPECT_EQ(first.caption, "Предупреждение");
    EXPECT_EQ(first.icon, Icon::Warning);

    c.SetCommonIndex(6);
    prompter.clear();
    EXPECT_EQ(c.GetCommonIndex(prompter), 6);
    EXPECT_EQ(prompter.count(), 0u);
}

TEST(Nodes, SetValueAndGetValue) {
    NetRS485 net;
    net.InitParameters();
    EXPECT_EQ(net.SetValue("prty", "Четность", true), 1);
    EXPECT_EQ(net.GetValue("PRTY"), "Четность");
    EXPECT_TRUE(net.FindParameter("PrtY")->changed);

    net.ClearChangeFlags();
    EXPECT_EQ(net.SetValue("PrtY", "ЧЕТНОСТЬ", true), 1);  // differs only in case
    EXPECT_EQ(net.GetValue("PrtY"), "ЧЕТНОСТЬ");
    EXPECT_FALSE(net.FindParameter("PrtY")->changed);
    EXPECT_EQ(net.SetValue("Addr", "32", false), 1);
    EXPECT_FALSE(net.FindParameter("Addr")->changed);

    EXPECT_EQ(net.SetValue("nothing", "1", true), 0);
    EXPECT_EQ(net.GetValue("nothing"), "");
    EXPECT_EQ(net.SetValue("Название", "Мой прибор", true), 3);
    EXPECT_EQ(net.caption, "Мой прибор");
}

TEST(Nodes, SetValueTouchesOnlyTheFirstOfTwoNamesakes) {
    Channels channels;
    channels.InitParameters();
    Channel& c = channels.channel(0);
    c.parameters()[1]->name = "in-t";  // two parameters now carry the name
    c.SetValue("in-t", "ТХК(L)", true);
    EXPECT_EQ(c.parameters()[0]->value, "ТХК(L)");
    EXPECT_EQ(c.parameters()[1]->value, "Нет данных");
}

TEST(Nodes, ChangeStateNeverReportsTheProtocol) {
    NetRS485 net;
    net.InitParameters();
    Parameter* prot = net.FindParameter("Prot");
    Parameter* addr = net.FindParameter("Addr");
    prot->changed = true;
    EXPECT_EQ(net.GetChangeState(prot), 0);
    EXPECT_EQ(net.GetChangeState(addr), 0);
    addr->pendingWrite = true;
    EXPECT_EQ(net.GetChangeState(addr), 2);
    Parameter stranger("Addr");
    stranger.changed = true;
    EXPECT_EQ(net.GetChangeState(&stranger), 0);
    EXPECT_EQ(net.GetChangeState(nullptr), 0);
}

TEST(Nodes, ResetRestoreAndClear) {
    NetRS485 net;
    net.InitParameters();
    Parameter& addr = *net.FindParameter("Addr");
    addr.value = "32";
    addr.errorText = "Таймаут";
    addr.changed = true;
    addr.attrEditable = false;
    addr.attrFactory = true;

    net.MarkRestored();
    EXPECT_TRUE(addr.attrEditable);
    EXPECT_FALSE(addr.attrFactory);
    EXPECT_TRUE(addr.attrChanged && addr.pendingWrite);

    net.ResetValues();
    EXPECT_EQ(addr.value, "Нет данных");
    EXPECT_EQ(addr.errorText, "");
    EXPECT_FALSE(addr.IsPending());
    EXPECT_TRUE(addr.attrEditable);  // attributes survive a reset
}

TEST(Nodes, ChannelsStopThePollsBeforeRebuildOrReset) {
    Channels channels;
    int stops = 0;
    channels.SetPollStopper([&] { ++stops; });
    channels.InitParameters();
    EXPECT_EQ(stops, 1);
    channels.channel(3).SetValue("in-t", "ТХК(L)", true);
    channels.channel(3).caption = "Печь";
    channels.SetValue("Cj-.C", "Включен", true);
    channels.ResetValues();
    EXPECT_EQ(stops, 2);
    EXPECT_EQ(channels.channel(3).GetValue("in-t"), "Нет данных");
    EXPECT_EQ(channels.channel(3).caption, "Вход №4");
    EXPECT_EQ(channels.GetValue("Cj-.C"), "Нет данных");
}

class Walks : public ::testing::Test {
  protected:
    void SetUp() override { channels.InitParameters(); }
    int Counter(ProgressCounter c) { return session.counters[c]; }

    Channels channels;
    FakeSession session;
};

TEST_F(Walks, ReadGoesThroughOwnParametersThenEveryInput) {
    session.statuses["in-t:2"] = 4;
    session.statuses["dP:7"] = -1;
    const TransferCounts counts = channels.ReadElement(session);
    EXPECT_EQ(counts, (TransferCounts{1 + 8 * 9, 2}));
    ASSERT_EQ(session.calls.size(), 73u);
    EXPECT_EQ(session.calls[0], "read Cj-.C");
    EXPECT_EQ(session.calls[1], "read in-t:0");
    EXPECT_EQ(session.calls[72], "read dP:7");
    EXPECT_EQ(Counter(ProgressCounter::Parameters), 73);
    EXPECT_EQ(Counter(ProgressCounter::ParametersWithErrors), 2);
    EXPECT_EQ(Counter(ProgressCounter::Groups), 9);
    EXPECT_EQ(Counter(ProgressCounter::GroupsWithErrors), 2);
}

TEST_F(Walks, ReadFixesTheIndexesOfANodeFirst) {
    Channel& c = channels.channel(5);
    c.parameters()[3]->index = 1;  // a stray index inside input 6
    c.ReadElement(session);
    EXPECT_EQ(session.prompter.count(), 1u);
    for (const auto& p : c.parameters()) EXPECT_EQ(p->index, 5);
}

TEST_F(Walks, WriteChangedSkipsWhatIsNotPendingOrNotWritable) {
    channels.channel(1).FindParameter("Itrl")->changed = true;
    channels.channel(4).FindParameter("dP")->attrChanged = true;
    channels.FindParameter("Cj-.C")->pendingWrite = true;
    const TransferCounts counts = channels.WriteElement(session, false);
    EXPECT_EQ(session.calls, (Names{"write Cj-.C", "write Itrl:1", "write dP:4"}));
    EXPECT_EQ(counts, (TransferCounts{3, 0}));
    EXPECT_EQ(Counter(ProgressCounter::Groups), 9);

    Common common;
    common.InitParameters();
    for (const auto& p : common.parameters()) p->changed = true;
    session.calls.clear();
    EXPECT_EQ(common.WriteElement(session, true), (TransferCounts{0, 0}));
    EXPECT_TRUE(session.calls.empty());  // "dev", "ver", "exit" are never written
}

TEST_F(Walks, CompareCountsFailuresPerGroup) {
    session.statuses["Cj-.C"] = 1;
    const TransferCounts counts = channels.CompareElement(session);
    EXPECT_EQ(counts, (TransferCounts{73, 1}));
    EXPECT_EQ(session.calls[0], "compare Cj-.C");
    EXPECT_EQ(Counter(ProgressCounter::GroupsWithErrors), 1);
}

TEST_F(Walks, AbortStopsAfterTheCurrentParameter) {
    session.onCall = [&](const Parameter& p) {
        if (p.name == "Itrl" && p.index == 2) session.abort.set();
    };
    const TransferCounts counts = channels.ReadElement(session);
    // Cj-.C, inputs 1 and 2 whole, then in-t, in.Fd, Itrl of input 3.
    EXPECT_EQ(counts.processed, 1 + 9 + 9 + 3);
    EXPECT_EQ(session.calls.back(), "read Itrl:2");
    EXPECT_EQ(Counter(ProgressCounter::Groups), 4);  // the interrupted input still counts
}

TEST_F(Walks, AbortedBeforeTheStart) {
    session.abort.set();
    EXPECT_EQ(channels.ReadElement(session), (TransferCounts{}));
    EXPECT_EQ(channels.CompareElement(session), (TransferCounts{}));
    EXPECT_EQ(Counter(ProgressCounter::Groups), 0);
    channels.FindParameter("Cj-.C")->changed = true;
    EXPECT_EQ(channels.WriteElement(session, true), (TransferCounts{}));
    EXPECT_TRUE(session.calls.empty());
}

}  // namespace
}  // namespace zep8
