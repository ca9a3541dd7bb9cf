#include "ops/device/single_point.h"

#include <gtest/gtest.h>

#include "model/catalogue.h"
#include "support/device_on_pty.h"

namespace zep8 {
namespace {

class SinglePointTest : public testing::DeviceOnPty {
  protected:
    void SetUp() override {
        DeviceOnPty::SetUp();
        point = std::make_unique<SinglePoint>(*device);
        point->Open();
    }
    void TearDown() override {
        point.reset();
        DeviceOnPty::TearDown();
    }
    std::unique_ptr<SinglePoint> point;
};

TEST_F(SinglePointTest, OpensOnTheVersion) {
    EXPECT_EQ(point->name(), "VER");
    EXPECT_EQ(point->hashText(), "0x2D5B");
    EXPECT_EQ(point->description(), "Версия ПО (сторка)");
    EXPECT_FALSE(point->valueFieldVisible());
    const auto& names = point->names();
    EXPECT_TRUE(std::is_sorted(names.begin(), names.end()));
    for (const char* name : {"DEV", "VER", "EXIT", "BPS", "PROT", "CJ-.C", "IN-T", "DP"}) {
        EXPECT_NE(std::find(names.begin(), names.end(), name), names.end()) << name;
    }
    EXPECT_EQ(names.size(), 3u + 8 + 1 + 9);

    point->Execute();
    const auto& log = point->log();
    ASSERT_GE(log.size(), 3u);
    EXPECT_EQ(log.front(), "VER (Версия ПО)");
    EXPECT_EQ(log[1], "Размер инф-ой части посылки 0 байт");
    EXPECT_EQ(log[log.size() - 2], "Нет ошибок; строковая нотация ответа:");
    EXPECT_EQ(log.back(), "v7.12");
}

TEST_F(SinglePointTest, TypeTexts) {
    EXPECT_EQ(TypeText(GetDescriptor("Addr")), "целое число от 0 до 2047");
    EXPECT_EQ(TypeText(GetDescriptor("Itrl")), "дробное число от 0.300000 до 30.000000");
    EXPECT_EQ(TypeText(GetDescriptor("bPS")), "фиксированный набор значений");
    EXPECT_EQ(TypeText(GetDescriptor("rEAd")), "неизвестный тип");
    point->SetName("prty");
    EXPECT_EQ(point->name(), "PRTY");
    EXPECT_EQ(point->valueItems(),
              (std::vector<std::string>{"Нечетность", "Отсутствует", "Четность"}));
    point->SetName("addr");
    EXPECT_TRUE(point->valueItems().empty());
}

TEST_F(SinglePointTest, UnknownNameIsSentAndItsErrorListed) {
    point->indexFlag = true;
    point->SetName("xyz");
    EXPECT_EQ(point->description(), "<неизвестный параметр> (неизвестный тип)");
    EXPECT_TRUE(point->indexFlag);  // kept for an unknown name
    point->indexFlag = false;
    point->Execute();
    EXPECT_EQ(point->log()[point->log().size() - 2], "Имеет место ошибка:");
    EXPECT_EQ(point->log().back(), "Не найден дескриптор");
}

TEST_F(SinglePointTest, IndexWarnings) {
    point->SetName("in-t");
    EXPECT_TRUE(point->indexFlag);
    point->indexFlag = false;
    prompter.scriptAnswer(Answer::Cancel);
    module().resetCounters();
    point->Execute();
    EXPECT_EQ(prompter.messages().back().text, "Данная комманда должна иметь линейный индекс");
    EXPECT_EQ(prompter.messages().back().caption, "Предупреждение");
    EXPECT_EQ(module().total().received, 0);

    prompter.scriptAnswer(Answer::Ok);
    point->Execute();  // sent with index 0 after all
    EXPECT_EQ(point->log().back(), "Датчик отключен");

    point->SetName("Addr");
    point->indexFlag = true;
    point->indexText = "3";
    prompter.scriptAnswer(Answer::Ok);
    point->Execute();
    EXPECT_EQ(prompter.messages().back().text, "Данная комманда не должна иметь линейный индекс");
    EXPECT_EQ(point->log()[point->log().size() - 2], "Имеет место ошибка:");
    EXPECT_EQ(point->log().back(), "Размер поля данных не соответствует ожидаемому");
}

TEST_F(SinglePointTest, WritesAnEnumerationByItsText) {
    point->SetName("in-t");
    point->SetMode(SinglePoint::kWrite);
    EXPECT_TRUE(point->valueFieldVisible());
    point->valueText = "ТХК(L)";
    point->indexText = "2";
    point->Execute();
    EXPECT_EQ(point->log().back(), "Нет ошибок; значение записано.");
    EXPECT_EQ(*module().value("in-t", 2), 5);

    point->SetMode(SinglePoint::kRead);
    point->valueText = "ignored";
    point->Execute();
    EXPECT_EQ(point->log().back(), "ТХК(L)");
}

}  // namespace
}  // namespace zep8
