#include "platform/codepage.h"

#include <gtest/gtest.h>

namespace zep8 {
namespace {

TEST(Codepage, CyrillicAndPunctuationRoundTrip) {
    const std::string text = "Датчик –50…+50мВ №1 Ёё";
    const std::string bytes = Utf8ToCp1251(text);
    EXPECT_EQ(bytes,
              "\xC4\xE0\xF2\xF7\xE8\xEA \x96"
              "50\x85+50\xEC\xC2 \xB9"
              "1 \xA8\xB8");
    EXPECT_EQ(Cp1251ToUtf8(bytes), text);
}

TEST(Codepage, UnconvertibleCharactersBecomeQuestionMarks) {
    EXPECT_EQ(Utf8ToCp1251("a€b"),
              "a\x88"
              "b");  // the euro sign exists in 1251
    EXPECT_EQ(Utf8ToCp1251("a✓b"), "a?b");
    EXPECT_EQ(Utf8ToCp1251("a\xD0"), "a?");  // cut UTF-8 sequence
    EXPECT_EQ(Utf8ToCp1251("\xFF\xFEz"), "??z");
    EXPECT_EQ(Cp1251ToUtf8("a\x98z"), "a?z");  // the one undefined byte
    EXPECT_EQ(Utf8ToCp1251(""), "");
}

TEST(Codepage, LongTextsConvertWhole) {
    std::string text;
    for (int i = 0; i < 500; ++i) text += "Привет ";
    EXPECT_EQ(Cp1251ToUtf8(Utf8ToCp1251(text)), text);
    EXPECT_EQ(Utf8ToCp1251(text).size(), 500u * 7);
}

}  // namespace
}  // namespace zep8
