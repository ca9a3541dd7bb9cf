#include <gtest/gtest.h>

#include <cctype>

#include "model/parameter.h"
#include "platform/recording_prompter.h"

namespace zep8 {
namespace {

class AssignValue : public ::testing::Test {
  protected:
    // Stores `text` in a fresh parameter; returns the stored value, or
    // "<rejected>" with the parameter untouched.
    std::string Assign(const char* name, const char* text) {
        Parameter p(name);
        const std::string before = p.value;
        if (!p.AssignValue(text, prompter)) {
            EXPECT_EQ(p.value, before);
            EXPECT_FALSE(p.changed);
            return "<rejected>";
        }
        EXPECT_TRUE(p.changed);
        return p.value;
    }

    RecordingPrompter prompter;
};

TEST_F(AssignValue, DecimalWithoutFixedDecimalsKeepsTheDigitsTheRangeAllows) {
    EXPECT_EQ(Assign("in.SH", "12345.6"), "<rejected>");
    EXPECT_EQ(prompter.count(), 0u);

    EXPECT_EQ(Assign("in.SH", "123.456"), "123.4");
    ASSERT_EQ(prompter.count(), 1u);
    const auto warning = prompter.messages()[0];
    EXPECT_EQ(warning.text, "Значение было округлено с 123.456 до 123.4");
    EXPECT_EQ(warning.caption, "Предупреждение");
    EXPECT_EQ(warning.icon, Icon::Warning);
    EXPECT_EQ(warning.buttons, Buttons::Ok);
}

TEST_F(AssignValue, RangeToleranceOnBothEnds) {
    EXPECT_EQ(Assign("in.SH", "-999.0004"), "-999.0004");  // negative text never shortened
    EXPECT_EQ(Assign("in.SH", "-999.001"), "<rejected>");
    EXPECT_EQ(Assign("in.SH", "9999.0004"), "9999");
    EXPECT_EQ(Assign("in.SH", "9999.0005"), "<rejected>");  // nearest single is 9999.00098
    EXPECT_EQ(Assign("Itrl", "0.25"), "<rejected>");
    EXPECT_EQ(Assign("Itrl", "30.0008"), "30.0");
    EXPECT_EQ(prompter.count(), 1u);  // only the shortened 9999.0004 warned
}

TEST_F(AssignValue, FixedDecimalsAreCutWithoutWarning) {
    EXPECT_EQ(Assign("Itrl", "12.34"), "12.3");
    EXPECT_EQ(Assign("in.SL", "1.0995"), "1.099");
    EXPECT_EQ(Assign("in.SL", "1"), "1");
    EXPECT_EQ(prompter.count(), 0u);
}

TEST_F(AssignValue, DecimalWithoutAnyDigitIsRejected) {
    for (const char* text : {"", "-", ".", "-.", "abc", "+"}) {
        EXPECT_EQ(Assign("in.SH", text), "<rejected>") << text;
    }
    EXPECT_EQ(Assign("in.FG", "abc5"), "<rejected>");
}

TEST_F(AssignValue, IntegerMustBeAWholeNumberInRange) {
    EXPECT_EQ(Assign("dP", "4"), "<rejected>");
    EXPECT_EQ(Assign("dP", "3"), "3");
    EXPECT_EQ(Assign("Addr", "2048"), "<rejected>");
    EXPECT_EQ(Assign("Addr", "2047"), "2047");
    EXPECT_EQ(Assign("RS.dL", "50"), "50");
    EXPECT_EQ(Assign("RS.dL", "-1"), "<rejected>");
    EXPECT_EQ(Assign("in.Fd", "16.0"), "16.0");
    EXPECT_EQ(Assign("in.Fd", "16.5"), "<rejected>");
    EXPECT_EQ(Assign("in.Fd", "12abc"), "<rejected>");
    EXPECT_EQ(Assign("in.Fd", "12 "), "12");
    EXPECT_EQ(Assign("in.Fd", ""), "");  // reads as 0 with nothing left over
    EXPECT_EQ(Assign("in.Fd", "-"), "<rejected>");
}

// A Russian desktop types a decimal comma. It means the point, and the value
// is kept with the point; a number with anything after it is refused, never
// cut to its leading digits.
TEST_F(AssignValue, DecimalCommaIsThePointAndTrailingTextIsRefused) {
    EXPECT_EQ(Assign("in.SH", "2,5"), "2.5");
    EXPECT_EQ(Assign("in.SH", " -2,25 "), "-2.25");
    EXPECT_EQ(Assign("Itrl", "12,34"), "12.3");
    EXPECT_EQ(Assign("in.SH", "123,456"), "123.4");
    EXPECT_EQ(prompter.messages().back().text, "Значение было округлено с 123.456 до 123.4");
    EXPECT_EQ(Assign("in.Fd", "16,0"), "16.0");
    for (const char* name : {"in.SH", "in.Fd"}) {
        for (const char* text : {"2,5,1", "12abc", "1.2.3", "2.,5", "2, 5"}) {
            EXPECT_EQ(Assign(name, text), "<rejected>") << name << " " << text;
        }
    }
}

TEST_F(AssignValue, EnumerationMatchesExactly) {
    EXPECT_EQ(Assign("PrtY", "Четность"), "Четность");
    EXPECT_EQ(Assign("PrtY", "четность"), "<rejected>");
    EXPECT_EQ(Assign("bPS", "9601"), "<rejected>");
    EXPECT_EQ(Assign("in-t", "Датчик 4…20мА"), "Датчик 4…20мА");
    EXPECT_EQ(Assign("in-t", "Датчик 4...20мА"), "<rejected>");
}

TEST_F(AssignValue, TextAndUnknownTypes) {
    EXPECT_EQ(Assign("    ", "journal"), "journal");
    EXPECT_EQ(Assign("whatever", "1"), "<rejected>");
    EXPECT_EQ(Assign("rEAd", "1"), "<rejected>");
    EXPECT_EQ(Assign(" ", "1"), "<rejected>");
}

TEST(ParameterState, ConstructionTakesTitleAndFlagsFromTheCatalogue) {
    Parameter p("in-T  ");
    EXPECT_EQ(p.name, "in-T");
    EXPECT_EQ(p.title, "Тип датчика");
    EXPECT_TRUE(p.writable);
    EXPECT_TRUE(p.hasAttributes);
    EXPECT_TRUE(p.indexed);
    EXPECT_EQ(p.value, "Нет данных");
    EXPECT_TRUE(p.attrEditable);
    EXPECT_FALSE(p.attrFactory);

    Parameter apply("APLY");
    EXPECT_EQ(apply.title, "<неизвестный параметр>");
    EXPECT_FALSE(apply.writable);

    Parameter loaded;
    EXPECT_EQ(loaded.name, "");
    EXPECT_EQ(loaded.title, "<неизвестный параметр>");
}

TEST(ParameterState, ServiceNamesKeepTheirBlanks) {
    Parameter copyright("  ");
    EXPECT_EQ(copyright.name, "  ");
    EXPECT_EQ(copyright.title, "Копирайт");
    Parameter logSwitch("    ");
    EXPECT_EQ(logSwitch.title, "Сохранять протокол в файл");
    // Today's date as month name and two-digit day, e.g. "December07".
    EXPECT_TRUE(std::isupper(static_cast<unsigned char>(logSwitch.value[0])));
    ASSERT_GE(logSwitch.value.size(), 5u);
    EXPECT_TRUE(std::isdigit(static_cast<unsigned char>(logSwitch.value.end()[-1])));
    EXPECT_TRUE(std::isdigit(static_cast<unsigned char>(logSwitch.value.end()[-2])));
}

TEST(ParameterState, ResetStateClearsEverythingButTitleAndNote) {
    Parameter p("Addr");
    p.value = "32";
    p.changed = p.attrChanged = p.pendingWrite = true;
    p.errorText = "x";
    p.note = "kept";
    p.attrEditable = false;
    p.attrFactory = true;
    p.addressOffset = 3;
    p.index = 5;
    EXPECT_TRUE(p.IsPending());
    p.ResetState();
    EXPECT_EQ(p.value, "Нет данных");
    EXPECT_FALSE(p.IsPending());
    EXPECT_EQ(p.errorText, "");
    EXPECT_EQ(p.note, "kept");
    EXPECT_EQ(p.title, "Базовый адрес прибора");
    EXPECT_TRUE(p.attrEditable);
    EXPECT_FALSE(p.attrFactory);
    EXPECT_FALSE(p.writable);
    EXPECT_EQ(p.addressOffset, 0);
    EXPECT_EQ(p.index, 0);
}

}  // namespace
}  // namespace zep8
