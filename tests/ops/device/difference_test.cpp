// The difference list behind the table: what a compare finds, and what a
// write would overwrite, read without touching the configuration.
#include <gtest/gtest.h>

#include "ops/device/device.h"
#include "ops/device/difference.h"
#include "support/device_on_pty.h"

namespace zep8 {
namespace {

using testing::DeviceOnPty;

class Differences : public DeviceOnPty {
  protected:
    Parameter& Input(int i, const char* name) {
        return *device->channelsNode.channel(i).FindParameter(name);
    }
};

TEST_F(Differences, CompareListsEveryDifferenceWithItsGroup) {
    ASSERT_TRUE(device->ReadAll());
    for (int i = 0; i < 8; ++i) module().setValue("in.Fd", i, 5);
    for (int i = 0; i < 4; ++i) module().setValue("Itrl", i, 2.5);
    Input(6, "in.Fd").attrFactory = true;  // the attribute alone differs there too
    ASSERT_TRUE(device->Compare());
    const DifferenceList list = device->differences();
    // The message stops at ten; the list has them all.
    ASSERT_EQ(list.size(), 12u);
    EXPECT_EQ(device->differenceCount(), 12);
    EXPECT_EQ(list[0].group, "Вход №1");
    EXPECT_EQ(list[0].parameter, "in.Fd");
    EXPECT_EQ(list[0].name, "Постоянная времени  цифрового фильтра");
    EXPECT_EQ(list[0].configValue, "0");
    EXPECT_EQ(list[0].moduleValue, "5");
    const Difference& attribute = list[10];
    EXPECT_EQ(attribute.group, "Вход №7");
    EXPECT_EQ(attribute.configValue, "0, Редактируемый, принадлежит заводу");
    EXPECT_EQ(attribute.moduleValue, "5, Редактируемый, принадлежит пользователю");
    EXPECT_EQ(list[11].group, "Вход №8");
}

TEST_F(Differences, BeforeAWriteOnlyWhatItWouldSendIsReadAndNothingChanges) {
    ASSERT_TRUE(device->ReadAll());
    Parameter& type = Input(2, "in-t");
    Parameter& top = Input(2, "Ain.H");
    Parameter& same = Input(3, "in.Fd");
    type.value = "ТХК(L)";
    type.changed = true;
    top.value = "250.5";
    top.changed = true;
    same.changed = true;                 // marked, but the module holds it already
    module().setValue("in.Fd", 5, 900);  // drifted, not changed in the configuration
    module().forceError("Itrl", 0x28);   // unreadable in the module
    module().resetCounters();

    const std::optional<DifferenceList> changed = device->CompareBeforeWrite(false);
    ASSERT_TRUE(changed);
    EXPECT_EQ(observer.captions.back(),
              "Идет чтение параметров, которые будут перезаписаны в приборе");
    // The three marked ones (value and attributes each), nothing else.
    EXPECT_EQ(module().total().received, 3 * 2);
    EXPECT_EQ(module().count("in.Fd").received, 1);
    EXPECT_EQ(module().count("Itrl").received, 0);
    ASSERT_EQ(changed->size(), 2u);
    EXPECT_EQ((*changed)[0].parameter, "in-t");
    EXPECT_EQ((*changed)[0].group, "Вход №3");
    EXPECT_EQ((*changed)[0].configValue, "ТХК(L)");
    EXPECT_EQ((*changed)[0].moduleValue, "Датчик отключен");
    EXPECT_EQ((*changed)[1].parameter, "Ain.H");
    // The configuration is as it was: values, marks, no error texts; nothing written.
    EXPECT_EQ(type.value, "ТХК(L)");
    EXPECT_TRUE(type.changed);
    EXPECT_EQ(*module().value("in-t", 2), 0);
    EXPECT_EQ(module().count("in-t").received, 1);

    // Writing everything would also go over the drifted and the unreadable ones.
    const std::optional<DifferenceList> all = device->CompareBeforeWrite(true);
    ASSERT_TRUE(all);
    bool drifted = false, unread = false;
    for (const Difference& d : *all) {
        drifted |= d.parameter == "in.Fd" && d.group == "Вход №6" && d.moduleValue == "900";
        unread |=
            d.parameter == "Itrl" && d.moduleValue == "Не удалось прочитать: Не найден дескриптор";
    }
    EXPECT_TRUE(drifted);
    EXPECT_TRUE(unread);
    EXPECT_TRUE(Input(0, "Itrl").errorText.empty());
    EXPECT_EQ(prompter.count(), 0u);

    // "Прервать" gives no list, so the write does not go on.
    observer.onCounter = [this](ProgressCounter, int) { device->Abort(); };
    EXPECT_FALSE(device->CompareBeforeWrite(true));
}

TEST(TabSeparated, OneLinePerRowAndNoStrayTabs) {
    EXPECT_EQ(TabSeparated({{"Вход №1", "in.Fd", "a\tb", "0", "5"}, {"x", "y\nz"}}),
              "Вход №1\tin.Fd\ta b\t0\t5\nx\ty z\n");
    EXPECT_EQ(TabSeparated({}), "");
}

}  // namespace
}  // namespace zep8
