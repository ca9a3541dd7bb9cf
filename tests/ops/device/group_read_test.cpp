// The reads of a group opened in the tree: what is picked, what comes back,
// and that an operator's edit made meanwhile is never read over.
#include "ops/device/group_read.h"

#include <gtest/gtest.h>

#include <utility>
#include <vector>

#include "ops/device/configuration_edit.h"
#include "support/device_on_pty.h"

namespace zep8 {
namespace {

using Arrived = std::vector<std::pair<std::size_t, Parameter>>;

class GroupReadOnModule : public testing::DeviceOnPty {
  protected:
    Arrived ReadAll(GroupRead& read, const Event& stop) {
        Arrived arrived;
        read.Read(stop, [&](std::size_t item, Parameter p) { arrived.emplace_back(item, p); });
        return arrived;
    }
    Event stop{Event::Reset::Manual};
};

TEST_F(GroupReadOnModule, FillsWhatHasNoDataAndKeepsAnEditMadeMeanwhile) {
    ConfigurationEditor editor(*device, prompter);
    Channel& input = device->channelsNode.channel(1);
    Parameter& filter = *input.FindParameter("in.Fd");
    Parameter& shift = *input.FindParameter("in.SH");
    Parameter& slope = *input.FindParameter("in.SL");
    module().setValue("in.Fd", 1, 12);
    module().setValue("in.SH", 1, 3);
    slope.errorText = "Таймаут при передаче данных (нет связи)";  // tried before: not again

    EXPECT_FALSE(editor.ReadOnExpand(input, false));
    EXPECT_FALSE(editor.ReadOnExpand(device->programNet(), true));
    const std::shared_ptr<GroupRead> read = editor.ReadOnExpand(input, true);
    ASSERT_TRUE(read);
    EXPECT_FALSE(editor.ReadOnExpand(input, true)) << "read twice while under way";

    const Arrived arrived = ReadAll(*read, stop);
    // Nothing of the configuration changes until the window thread stores it.
    EXPECT_EQ(filter.value, kNoData);
    ASSERT_EQ(arrived.size(), input.parameters().size() - 1);
    // The operator typed a value while the read was under way.
    ASSERT_TRUE(shift.AssignValue("7", prompter));
    shift.changed = true;

    for (const auto& [item, p] : arrived) {
        Parameter* stored = read->Store(item, p);
        if (p.name == "in.SH") {
            EXPECT_EQ(stored, nullptr);
        } else {
            EXPECT_NE(stored, nullptr) << p.name;
        }
    }
    EXPECT_EQ(filter.value, "12");
    EXPECT_EQ(shift.value, "7");
    EXPECT_TRUE(shift.changed);
    EXPECT_EQ(slope.value, kNoData);

    editor.ExpandReadEnded(input);
    EXPECT_FALSE(editor.ReadOnExpand(input, true)) << "nothing left without data";
}

TEST_F(GroupReadOnModule, StopsBeforeTheNextParameterAndForgetsReadsOverAnotherPort) {
    ConfigurationEditor editor(*device, prompter);
    Common& common = device->commonNode;
    std::shared_ptr<GroupRead> read = editor.ReadOnExpand(common, true);
    ASSERT_TRUE(read);
    stop.set();
    EXPECT_TRUE(ReadAll(*read, stop).empty());
    stop.reset();

    const Arrived arrived = ReadAll(*read, stop);
    ASSERT_FALSE(arrived.empty());
    // New port settings: what came over the old line belongs to another module maybe.
    device->ReopenPort(true);
    for (const auto& [item, p] : arrived) EXPECT_EQ(read->Store(item, p), nullptr) << p.name;
    for (const auto& p : common.parameters()) EXPECT_EQ(p->value, kNoData) << p->name;

    // A new configuration: the cleared values look as they did when picked,
    // and still nothing read for the old one comes into it.
    editor.ExpandReadEnded(common);
    read = editor.ReadOnExpand(common, true);
    ASSERT_TRUE(read);
    const Arrived again = ReadAll(*read, stop);
    ASSERT_FALSE(again.empty());
    device->NewEpoch();
    for (const auto& [item, p] : again) EXPECT_EQ(read->Store(item, p), nullptr) << p.name;
}

TEST_F(GroupReadOnModule, FiveFailuresEndThisReadAndNothingElse) {
    ConfigurationEditor editor(*device, prompter);
    const std::shared_ptr<GroupRead> read =
        editor.ReadOnExpand(device->channelsNode.channel(0), true);
    ASSERT_TRUE(read);
    module().injectFault(sim::Fault::Silence, 1000);
    EXPECT_EQ(ReadAll(*read, stop).size(), 5u);
    ASSERT_EQ(prompter.count(), 1u);
    EXPECT_EQ(prompter.messages()[0].text,
              "Так как прошло 5 безуспешных попыток чтения,\nто операции обмена будут прекращены.");
    // The next job still runs whole.
    EXPECT_FALSE(device->abortEvent.isSet());
}

}  // namespace
}  // namespace zep8
