#include "platform/text.h"

#include <gtest/gtest.h>

#include <clocale>

namespace zep8 {
namespace {

TEST(Text, CaseFoldingCoversLatinAndCyrillic) {
    EXPECT_TRUE(EqualsIgnoreCase("отсутствует", "Отсутствует"));
    EXPECT_TRUE(
        EqualsIgnoreCase("АБВГДЕЖЗИЙКЛМНОПРСТУФХЦЧШЩЪЫЬЭЮЯ", "абвгдежзийклмнопрстуфхцчшщъыьэюя"));
    EXPECT_TRUE(EqualsIgnoreCase("ЁЖИК", "ёжик"));
    EXPECT_TRUE(EqualsIgnoreCase("ModBUS-RTU", "modbus-rtu"));
    EXPECT_FALSE(EqualsIgnoreCase("Е", "Ё"));
    EXPECT_FALSE(EqualsIgnoreCase("T", "Т"));  // Latin and Cyrillic look-alikes stay apart
    EXPECT_FALSE(EqualsIgnoreCase("abc", "abcd"));
    EXPECT_LT(CompareIgnoreCase("Адрес", "бод"), 0);
}

TEST(Text, BrokenUtf8PassesThrough) {
    const std::string broken = "A\xD0";  // lead byte without its continuation
    EXPECT_EQ(FoldCase(broken), "a\xD0");
    EXPECT_EQ(Utf8Length(broken), 2u);
    EXPECT_EQ(Utf8Length("Т…"), 2u);
}

TEST(Text, FixedFormattingIgnoresTheProcessLocale) {
    const char* previous = std::setlocale(LC_NUMERIC, nullptr);
    const std::string saved = previous ? previous : "C";
    std::setlocale(LC_NUMERIC, "ru_RU.UTF-8");  // may be missing; the point must hold anyway
    EXPECT_EQ(FormatFixed(50.0, 1), "50.0");
    EXPECT_EQ(FormatFixed(-999, 3), "-999.000");
    EXPECT_EQ(FormatFixed(0.05, 1), "0.1");
    EXPECT_EQ(FormatFixed(2.25, 1),
              "2.2");  // exact binary value 2.25 rounds to even, as printf does
    std::setlocale(LC_NUMERIC, saved.c_str());
}

}  // namespace
}  // namespace zep8
