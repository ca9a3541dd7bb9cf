#include "ops/network/program_setting_edit.h"

#include <gtest/gtest.h>

#include "model/net_rs485_prg.h"
#include "ops/network/program_settings.h"
#include "platform/recording_prompter.h"

namespace zep8 {
namespace {

TEST(ProgramSettingEdit, RefusesWhatTheTreeRefuses) {
    NetRS485prg node;
    LoadProgramSettings(node, {.address = 16,
                               .addressLength = 8,
                               .baudRate = 9600,
                               .byteSize = 8,
                               .stopBits = 1,
                               .parityScheme = 1,
                               .port = "COM1"});
    RecordingPrompter prompter;

    EXPECT_EQ(CheckProgramSetting(node, "LEn", "7", prompter), std::nullopt);
    EXPECT_EQ(prompter.messages().back().text, kFormatRefusedText);
    EXPECT_EQ(prompter.messages().back().caption, kRefusedValueCaption);
    EXPECT_EQ(CheckProgramSetting(node, "Addr", "20", prompter), std::nullopt);
    EXPECT_EQ(prompter.messages().back().text, kAddressingRefusedText);
    EXPECT_EQ(CheckProgramSetting(node, "bPS", "1200", prompter), std::nullopt);
    EXPECT_EQ(prompter.messages().back().caption, "Неудалось изменить параметер");
    EXPECT_EQ(CheckProgramSetting(node, "Port", "", prompter), std::nullopt);
    const std::size_t refusals = prompter.count();

    EXPECT_EQ(CheckProgramSetting(node, "Addr", "24", prompter), "24");
    EXPECT_EQ(CheckProgramSetting(node, "PrtY", "Четность", prompter), "Четность");
    // Any device path, listed or not.
    EXPECT_EQ(CheckProgramSetting(node, "Port", "/dev/pts/7", prompter), "/dev/pts/7");
    EXPECT_EQ(prompter.count(), refusals);
    // The check leaves the node alone: storing is the caller's.
    EXPECT_EQ(node.GetValue("Addr"), "16");
}

}  // namespace
}  // namespace zep8
