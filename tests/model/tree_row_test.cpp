#include "model/tree_row.h"

#include <gtest/gtest.h>

#include "model/channels.h"
#include "model/common.h"
#include "model/net_rs485.h"
#include "model/net_rs485_prg.h"
#include "platform/recording_prompter.h"

namespace zep8 {
namespace {

TEST(TreeRow, ImageAndEditingFollowTypeAndWritability) {
    Channels channels;
    channels.InitParameters();
    const Channel& input = channels.channel(2);
    struct Expect {
        const char* name;
        int image;
        bool text, choice;
    } table[] = {{"in-t", 27, false, true}, {"in.Fd", 28, true, false}, {"Itrl", 28, true, false}};
    for (const auto& t : table) {
        const TreeRow row = DescribeParameterRow(*input.FindParameter(t.name), input, false);
        EXPECT_EQ(row.image, t.image) << t.name;
        EXPECT_EQ(row.selectedImage, t.image) << t.name;
        EXPECT_EQ(row.editAsText, t.text) << t.name;
        EXPECT_EQ(row.editAsChoice, t.choice) << t.name;
    }
    Common common;
    common.InitParameters();
    const TreeRow dev = DescribeParameterRow(*common.FindParameter("dev"), common, false);
    EXPECT_EQ(dev.image, 30);
    EXPECT_FALSE(dev.editAsText || dev.editAsChoice);
    EXPECT_EQ(dev.text, "Название прибора");
    Parameter reading("rEAd");
    EXPECT_EQ(DescribeParameterRow(reading, common, false).image, 0);
}

TEST(TreeRow, ColumnsAndColour) {
    NetRS485 net;
    net.InitParameters();
    Parameter& addr = *net.FindParameter("Addr");
    addr.value = "16";
    TreeRow row = DescribeParameterRow(addr, net, false);
    EXPECT_EQ(row.columns[1], "Addr");
    EXPECT_EQ(row.columns[2], "16");
    EXPECT_EQ(row.columns[3], "Редактируемый");
    EXPECT_EQ(row.columns[4], "");
    EXPECT_EQ(row.colour, kRowNormal);

    addr.attrEditable = false;
    addr.changed = true;
    row = DescribeParameterRow(addr, net, false);
    EXPECT_EQ(row.columns[3], "Не редактируемый");
    EXPECT_EQ(row.colour, (RowColour{0, 175, 0}));

    addr.errorText = "Таймаут при передаче данных (нет связи)";
    row = DescribeParameterRow(addr, net, false);
    EXPECT_EQ(row.columns[4], addr.errorText);
    EXPECT_EQ(row.colour, (RowColour{200, 0, 0}));  // an error outranks a pending change

    NetRS485prg program;
    program.InitParameters();
    row = DescribeParameterRow(*program.FindParameter("Addr"), program, true);
    EXPECT_EQ(row.columns[1], "");  // the program's settings show no names
    EXPECT_EQ(row.columns[3], "");  // and have no module attributes
}

TEST(TreeRow, LinearIndexDisplay) {
    Channels channels;
    channels.InitParameters();
    const Channel& input = channels.channel(3);
    const Parameter& type = *input.FindParameter("in-t");
    EXPECT_EQ(DescribeParameterRow(type, input, false).columns[1], "in-t");
    EXPECT_EQ(DescribeParameterRow(type, input, true).columns[1], "in-t:3");
    const Parameter& mode = *channels.FindParameter("Cj-.C");
    EXPECT_EQ(DescribeParameterRow(mode, channels, true).columns[1], "Cj-.C");

    RecordingPrompter prompter;
    TreeRow item = DescribeNodeItem(input, true, prompter);
    EXPECT_EQ(item.text, "Вход №4");
    EXPECT_EQ(item.columns[1], "(3)");
    EXPECT_EQ(item.image, 9);
    EXPECT_FALSE(item.editAsText || item.editAsChoice);
    EXPECT_EQ(DescribeNodeItem(input, false, prompter).columns[1], "");
    item = DescribeNodeItem(channels, true, prompter);
    EXPECT_EQ(item.columns[1], "");  // no index of its own
    EXPECT_EQ(item.selectedImage, 6);
}

}  // namespace
}  // namespace zep8
