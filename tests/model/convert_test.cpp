#include <gtest/gtest.h>

#include <vector>

#include "model/catalogue.h"
#include "model/parameter.h"
#include "platform/process_state.h"

namespace zep8 {
namespace {

using Bytes = std::vector<std::uint8_t>;

// Data bytes of a write of `text`; `result` receives ConvertToData's result.
Bytes ToData(const char* name, const char* text, int* result = nullptr) {
    Parameter p(name);
    p.value = text;
    Bytes data{0xEE};
    const int r = p.ConvertToData(data);
    if (result) *result = r;
    return data;
}

// Value text decoded from reply bytes, or "<result N>" when it is not decoded.
std::string FromData(const char* name, const Bytes& data, bool indexed = false) {
    Parameter p(name);
    const int r = p.ConvertFromData(data.data(), data.size(), indexed);
    if (r != MyConverter::CONVERT_OK) return "<result " + std::to_string(r) + ">";
    return p.value;
}

TEST(ConvertToData, WorkedExamples) {
    EXPECT_EQ(ToData("in.SH", "-999.0004"), (Bytes{0x83, 0xE7}));
    EXPECT_EQ(ToData("in.FG", "1.05"), (Bytes{0x20, 0x69}));
    EXPECT_EQ(ToData("in.SH", "-3"), (Bytes{0x83}));
    EXPECT_EQ(ToData("Addr", "2047"), (Bytes{0x07, 0xFF}));
    EXPECT_EQ(ToData("in.Fd", "16.0"), (Bytes{0x10, 0xA0}));
    EXPECT_EQ(ToData("in.Fd", ""), (Bytes{0x00}));
    EXPECT_EQ(ToData("in.SL", "1"), (Bytes{0x33, 0xE8}));
}

TEST(ConvertToData, DecimalsFollowTheLastNonZeroDigit) {
    EXPECT_EQ(ToData("Ain.L", "0.001"), (Bytes{0x31}));
    EXPECT_EQ(ToData("Ain.L", "2.50"), (Bytes{0x10, 0x19}));
    EXPECT_EQ(ToData("Ain.L", "7.000"), (Bytes{0x07}));
    // Fixed decimals win, and the text is cut to them first.
    EXPECT_EQ(ToData("Itrl", "0.59"), (Bytes{0x15}));
    // Shortened to the range without a message: 123.456 is sent as 123.4.
    EXPECT_EQ(ToData("in.SH", "123.456"), (Bytes{0x14, 0xD2}));
}

// A value loaded from a file is written as a whole number or not at all.
TEST(ConvertToData, NumbersIgnoreBlanksTakeTheCommaAndRefuseGarbage) {
    EXPECT_EQ(ToData("Addr", "32 \t"), (Bytes{0x00, 0x20}));
    EXPECT_EQ(ToData("in.SH", "2,5"), (Bytes{0x10, 0x19}));
    EXPECT_EQ(ToData("in.Fd", "16,0"), (Bytes{0x10, 0xA0}));
    EXPECT_EQ(ToData("in.SL", "1,5"), (Bytes{0x35, 0xDC}));
    for (const char* text : {"32abc", "abc", "2,5,1", "1.2.3"}) {
        for (const char* name : {"Addr", "in.SH", "in.SL"}) {
            int result = 1;
            ToData(name, text, &result);
            EXPECT_EQ(result, MyConverter::CONVERT_FAILED) << name << " " << text;
        }
    }
}

TEST(ConvertToData, EnumerationsBySpelledPositionIgnoringCase) {
    EXPECT_EQ(ToData("bPS", "115200"), (Bytes{0x08}));
    EXPECT_EQ(ToData("PrtY", "нечетность"), (Bytes{0x02}));
    EXPECT_EQ(ToData("Prot", "DCON"), (Bytes{0x03}));
    EXPECT_EQ(ToData("in-t", "Резистивный датчик задвижки до 2,0 кОм"), (Bytes{41}));
    int result = 1;
    ToData("bPS", "9601", &result);
    EXPECT_EQ(result, MyConverter::CONVERT_FAILED);
}

TEST(ConvertToData, NamesThatAreNeverEncoded) {
    int result = 0;
    for (const char* name : {"dev", "ver", "exit", "    ", "rEAd", "unknown"}) {
        ToData(name, "1", &result);
        EXPECT_EQ(result, MyConverter::CONVERT_NO_METHOD) << name;
    }
    EXPECT_EQ(ToData("APLY", "", &result), Bytes{});
    EXPECT_EQ(result, MyConverter::CONVERT_OK);
}

TEST(ConvertToData, UnencodableNumbersFail) {
    int result = 1;
    ToData("in.SH", "-", &result);  // no digit at all
    EXPECT_EQ(result, MyConverter::CONVERT_FAILED);
    ToData("in.Fd", "1e30", &result);  // too big for four packed bytes
    EXPECT_EQ(result, MyConverter::CONVERT_FAILED);
}

TEST(ConvertFromData, IdentificationTextsArriveReversed) {
    EXPECT_EQ(FromData("dev", {'8', '-', 'P', 'E', 'Z'}), "ZEP-8");
    EXPECT_EQ(FromData("ver", {'2', '1', '.', '7', 'v'}), "v7.12");
    EXPECT_EQ(FromData("dev", {0xC2, 0xCF, 0xC5, 0xC7}), "ЗЕПВ");  // single-byte Cyrillic
}

TEST(ConvertFromData, RestartCause) {
    EXPECT_EQ(FromData("exit", {0x18, 0x00, 0x10}), "Адрес прибора: 16");
    EXPECT_EQ(FromData("exit", {0x18, 0x07, 0xFF}), "Адрес прибора: 2047");
    EXPECT_EQ(FromData("exit", {0x00, 0x00, 0x05}),
              "переполнение одного из стеков (данных или адресов возврата)");
    EXPECT_EQ(FromData("exit", {0x00, 0x00, 0x40}),
              "Ошибки регистров ввода/вывода. Номер у сбившегося регистра :  64");
    EXPECT_EQ(FromData("exit", {0x00, 0x00}), "<result 0>");
    EXPECT_EQ(FromData("exit", {0x00, 0x00, 0x05, 0x00}), "<result 0>");
}

TEST(ConvertFromData, NetworkCodeTables) {
    EXPECT_EQ(FromData("bPS", {8}), "115200");
    EXPECT_EQ(FromData("bPS", {9}), "");
    EXPECT_EQ(FromData("LEn", {0}), "7");
    EXPECT_EQ(FromData("LEn", {1}), "8");
    EXPECT_EQ(FromData("PrtY", {2}), "Нечетность");
    EXPECT_EQ(FromData("Sbit", {1}), "2");
    EXPECT_EQ(FromData("A.Len", {1}), "11");
    EXPECT_EQ(FromData("A.Len", {5}), "");
    EXPECT_EQ(FromData("Addr", {0x10}), "16");
    EXPECT_EQ(FromData("Addr", {0x07, 0xFF}), "2047");
    EXPECT_EQ(FromData("Addr", {0x07, 0xFF, 0x00}), "<result 0>");
}

TEST(ConvertFromData, DataLengthDecodesTheSameInEveryProtocol) {
    processState().ProtocolMode = PROTOCOL_MODBUS_RTU;
    EXPECT_EQ(FromData("LEn", {1}), "8");
    processState().ProtocolMode = PROTOCOL_OWN;
}

TEST(ConvertFromData, MeasuredValues) {
    EXPECT_EQ(FromData("rEAd", {0x42, 0x48, 0x00, 0x00, 0x12, 0x34}), "50.0");
    EXPECT_EQ(FromData("rEAd", {0xC1, 0x46, 0x66, 0x66, 0x00, 0x00}), "-12.4");
    EXPECT_EQ(FromData("rEAd", {0xFD}), "Обрыв датчика.");
    EXPECT_EQ(FromData("rEAd", {0xF7}), "Датчик отключен.");
    EXPECT_EQ(FromData("rEAd", {0xFC}), "Короткое замыкание");
    EXPECT_EQ(FromData("rEAd", {0xF3}), "Не могу преобразовать коэффициенты .");
    EXPECT_EQ(FromData("rEAd", {0x10}), "Не могу преобразовать коэффициенты .");
    EXPECT_EQ(FromData("rEAd", {0x42, 0x48, 0x00, 0x00}), "<result 0>");
}

TEST(ConvertFromData, ByType) {
    EXPECT_EQ(FromData("in.SH", {0x83, 0xE7}), "-999.000");
    EXPECT_EQ(FromData("in.SL", {0x33, 0xE8, 0x00, 0x03}, true), "1.000");  // index bytes dropped
    EXPECT_EQ(FromData("in.SL", {0x00, 0x03}, true), "<result 0>");
    EXPECT_EQ(FromData("in.SL", {0x03}, true), "<result 0>");
    EXPECT_EQ(FromData("in.Fd", {0x07}), "7");
    EXPECT_EQ(FromData("in.Fd", {0x07, 0x00, 0x02}), "7");  // one byte and the index
    EXPECT_EQ(FromData("in.Fd", {0x01, 0x02}), "258");
    EXPECT_EQ(FromData("in.Fd", {0x01, 0x02, 0x00, 0x02}), "258");
    EXPECT_EQ(FromData("in-t", {11, 0x00, 0x01}), "Датчик 4…20мА");
    EXPECT_EQ(FromData("in-t", {42}), "<result 0>");
    EXPECT_EQ(FromData("Prot", {0}), "АРВО");
    EXPECT_EQ(FromData("    ", {'b', 'a'}), "ab");
    EXPECT_EQ(FromData("unknown", {1}), "<result 0>");
    EXPECT_EQ(FromData("APLY", {}), "");
    EXPECT_EQ(FromData("dev", {}), "<result 0>");
}

TEST(ConvertFromData, IntegerOfImpossibleLengthLeavesTheErrorInTheValue) {
    Parameter p("in.Fd");
    const Bytes five(5, 1);
    EXPECT_EQ(p.ConvertFromData(five.data(), five.size(), false), MyConverter::CONVERT_NO_METHOD);
    EXPECT_EQ(p.value, "Ошибка; (Непонятная длина ответа:5)");
}

TEST(ConvertFromData, UndecodableReplyKeepsTheValue) {
    Parameter p("in-t");
    p.value = "ТХК(L)";
    const Bytes code{200};
    EXPECT_EQ(p.ConvertFromData(code.data(), 1, false), MyConverter::CONVERT_FAILED);
    EXPECT_EQ(p.value, "ТХК(L)");
}

TEST(RestartCause, Table) {
    EXPECT_EQ(MyConverter::RestartCauseText(1), "Нештатный вход в программу контроля");
    EXPECT_EQ(MyConverter::RestartCauseText(14), "Нештатный вход в программу контроля");
    EXPECT_EQ(MyConverter::RestartCauseText(2),
              "Сбой бегущей единицы на порту \u0421");                               // Cyrillic
    EXPECT_EQ(MyConverter::RestartCauseText(3), "Сбой бегущей единицы на порту E");  // Latin
    EXPECT_EQ(MyConverter::RestartCauseText(4), "сбой бегущей единицы на порту B");
    EXPECT_EQ(MyConverter::RestartCauseText(95), "Сбой регистра SREG");
    EXPECT_EQ(MyConverter::RestartCauseText(32),
              "Ошибки регистров ввода/вывода. Номер у сбившегося регистра :  32");
    EXPECT_EQ(MyConverter::RestartCauseText(94),
              "Ошибки регистров ввода/вывода. Номер у сбившегося регистра :  94");
    for (int code : {0, 16, 31, 96, 255}) {
        EXPECT_EQ(MyConverter::RestartCauseText(code), "Не найдено значение ошибки ") << code;
    }
}

TEST(FitToRange, Results) {
    Parameter shift("in.SH");
    EXPECT_EQ(shift.FitToRange("123.456").text, "123.4");
    EXPECT_EQ(shift.FitToRange("123.456").status, MyConverter::FIT_CHANGED);
    EXPECT_EQ(shift.FitToRange("-99999").status, MyConverter::FIT_UNCHANGED);
    EXPECT_EQ(shift.FitToRange("abc").status, MyConverter::FIT_NOT_A_NUMBER);
    EXPECT_EQ(shift.FitToRange("5.").text, "5");
    Parameter interval("Itrl");
    EXPECT_EQ(interval.FitToRange("12.3456").text, "12.3");
    EXPECT_EQ(interval.FitToRange("12.3456").status, MyConverter::FIT_UNCHANGED);
    EXPECT_EQ(interval.FitToRange("12").text, "12");
}

// A value from a file or a reply, not checked against the range when it came
// in, is shortened to a number inside the range before it is written.
TEST(FitToRange, ShortensOutOfRangeValuesIntoTheRange) {
    Parameter band("in.FG");  // 0..9999, the point travels with the value
    EXPECT_EQ(band.FitToRange("12345.6").text, "1234");
    EXPECT_EQ(band.FitToRange("432345718947097600.000").text, "4323");
    EXPECT_EQ(band.FitToRange("99999abc").text, "9999");
    std::vector<std::uint8_t> data;
    band.value = "432345718947097600.000";
    ASSERT_EQ(band.ConvertToData(data), MyConverter::CONVERT_OK);
    EXPECT_EQ(MyConverter::DecodePacked(data.data(), data.size()), 4323.0);
}

}  // namespace
}  // namespace zep8
