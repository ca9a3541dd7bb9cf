#include "model/catalogue.h"

#include <gtest/gtest.h>

#include "model/name_hash.h"
#include "model/parameter.h"
#include "platform/process_state.h"
#include "platform/recording_prompter.h"

namespace zep8 {
namespace {

TEST(Catalogue, NamesMatchIgnoringCaseAndTrailingBlanks) {
    for (const char* name : {"LEN", "len", "Len", "LEn  "}) {
        const CatalogueEntry* e = FindCatalogueEntry(name);
        ASSERT_NE(e, nullptr) << name;
        EXPECT_EQ(e->name, "LEn");
    }
    ASSERT_NE(FindCatalogueEntry("in-T"), nullptr);
    EXPECT_EQ(FindCatalogueEntry("in-T")->name, "in-t");
    EXPECT_EQ(FindCatalogueEntry("APLY"), nullptr);
    EXPECT_EQ(FindCatalogueEntry(""), nullptr);
}

TEST(Catalogue, BlankServiceNamesAreDistinctEntriesWithOneHash) {
    const char* names[] = {" ", "  ", "   ", "    "};
    const char* titles[] = {"Версия программы", "Копирайт", "Операционная система",
                            "Сохранять протокол в файл"};
    for (int i = 0; i < 4; ++i) {
        ASSERT_NE(FindCatalogueEntry(names[i]), nullptr);
        EXPECT_EQ(FindCatalogueEntry(names[i])->title, titles[i]);
        EXPECT_EQ(hash_name(names[i]), 0x1DDE);
    }
    EXPECT_EQ(GetDescriptor("    ").type, PT_ASCII);
    EXPECT_EQ(GetDescriptor(" ").type, PT_NONE);
}

TEST(Catalogue, FlagsOfEachGroup) {
    struct Expect {
        const char* name;
        bool w, a, i;
        int type;
    } table[] = {
        {"dev", false, false, false, PT_ASCII}, {"exit", false, false, false, PT_ASCII},
        {"bPS", true, true, false, PT_ENUM},    {"Addr", true, true, false, PT_INTEGER},
        {"Port", true, false, false, PT_ENUM},  {"Cj-.C", true, true, false, PT_ENUM},
        {"in-t", true, true, true, PT_ENUM},    {"Itrl", true, true, true, PT_DECIMAL},
        {"dP", true, true, true, PT_INTEGER},   {"rEAd", true, false, false, PT_NONE},
        {"n.Flt", true, true, false, PT_NONE},
    };
    for (const auto& t : table) {
        const CatalogueEntry* e = FindCatalogueEntry(t.name);
        ASSERT_NE(e, nullptr) << t.name;
        EXPECT_EQ(e->writable, t.w) << t.name;
        EXPECT_EQ(e->hasAttributes, t.a) << t.name;
        EXPECT_EQ(e->indexed, t.i) << t.name;
        EXPECT_EQ(e->type, t.type) << t.name;
        EXPECT_EQ(hash_name(e->name), hash_name(t.name));
    }
}

TEST(Catalogue, RangesAndDecimals) {
    const ParamDescriptor sl = GetDescriptor("in.SL");
    EXPECT_EQ(sl.decimals, 3);
    EXPECT_DOUBLE_EQ(sl.min, 0.9);
    EXPECT_DOUBLE_EQ(sl.max, 1.1);
    EXPECT_EQ(GetDescriptor("Itrl").decimals, 1);
    EXPECT_EQ(GetDescriptor("in.SH").decimals, 0);
    EXPECT_DOUBLE_EQ(GetDescriptor("in.Fd").max, 1800);
    EXPECT_DOUBLE_EQ(GetDescriptor("RS.dL").max, 50);
    EXPECT_FALSE(GetDescriptor("bPS").hasRange());
    EXPECT_EQ(GetDescriptor("in.Fd").name, "in.Fd");
    EXPECT_EQ(GetDescriptor("toolongname").name, "");
    EXPECT_EQ(GetDescriptor("toolongname").type, PT_NONE);
}

TEST(Catalogue, Titles) {
    EXPECT_EQ(Parameter("in.Fd").title, "Постоянная времени  цифрового фильтра");
    EXPECT_EQ(Parameter("RS.dL").title, "Задержка ответа по RS-485, мс");
    EXPECT_EQ(Parameter("Ain.H").title, "Верхняя граница диапазона измерения активного датчика");
    EXPECT_EQ(Parameter("n.Flt").title, "Кол-во активных фильтров сообщений");
}

TEST(Catalogue, SensorTypesKeepTheirLookAlikeLetters) {
    const auto items = GetDescriptor("in-t").items;
    ASSERT_EQ(items.size(), 42u);
    EXPECT_EQ(items[0], "Датчик отключен");
    EXPECT_EQ(items[7],
              "Датчик \u2013"
              "50\u2026+50мВ");
    EXPECT_EQ(items[11],
              "Датчик 4\u2026"
              "20мА");
    EXPECT_EQ(items[27], "Датчик положения задвижки с токовым выходом 0..20мА");
    EXPECT_EQ(items[41], "Резистивный датчик задвижки до 2,0 кОм");
    for (int latin : {20, 24, 25}) EXPECT_EQ(items[latin][0], 'T') << latin;
    for (int i = 1; i <= 19; ++i) {
        if (i == 7 || (i >= 11 && i <= 14)) continue;
        EXPECT_EQ(items[i].substr(0, 2), "Т") << i;  // Cyrillic
    }
    for (int i = 1; i <= 30; ++i) {
        if (items[i].find("W100=") == std::string::npos) continue;
        EXPECT_NE(items[i].find("W100=1,"), std::string::npos) << i;
    }
    for (int i = 31; i <= 40; ++i) EXPECT_NE(items[i].find("W100=1."), std::string::npos) << i;
}

TEST(Catalogue, FixedEnumerations) {
    EXPECT_EQ(GetDescriptor("bPS").items,
              (std::vector<std::string>{"2400", "4800", "9600", "14400", "19200", "28800", "38400",
                                        "57600", "115200"}));
    EXPECT_EQ(GetDescriptor("Prot").items,
              (std::vector<std::string>{"АРВО", "ModBUS-RTU", "ModBUS-ASCII", "DCON"}));
    EXPECT_EQ(GetDescriptor("Cj-.C").items, (std::vector<std::string>{"Выключен", "Включен"}));
    EXPECT_EQ(GetDescriptor("A.Len").items, (std::vector<std::string>{"8", "11"}));
}

TEST(Catalogue, DataLengthItemsFollowTheProtocol) {
    using Items = std::vector<std::string>;
    auto& mode = processState().ProtocolMode;
    mode = PROTOCOL_OWN;
    EXPECT_EQ(GetDescriptor("LEn").items, (Items{"7", "8"}));
    mode = PROTOCOL_MODBUS_RTU;
    EXPECT_EQ(GetDescriptor("LEn").items, (Items{"8"}));
    mode = PROTOCOL_MODBUS_ASCII;
    EXPECT_EQ(GetDescriptor("LEn").items, (Items{"7"}));
    mode = PROTOCOL_DCON;
    EXPECT_EQ(GetDescriptor("LEn").items, (Items{"8"}));
    mode = PROTOCOL_OWN;
}

TEST(Catalogue, PortItemsComeFromTheProvider) {
    EXPECT_TRUE(GetDescriptor("Port").items.empty());
    SetPortListProvider([] { return std::string(":ttyS0::ttyUSB0:/dev/serial/by-id/x:"); });
    EXPECT_EQ(GetDescriptor("Port").items,
              (std::vector<std::string>{"ttyS0", "ttyUSB0", "/dev/serial/by-id/x"}));
    SetPortListProvider(
        [] { return std::string("ttyS0:tcp://10.0.0.5:4001:rfc2217://[::1]:7001"); });
    EXPECT_EQ(GetDescriptor("Port").items,
              (std::vector<std::string>{"ttyS0", "tcp://10.0.0.5:4001", "rfc2217://[::1]:7001"}));
    SetPortListProvider(nullptr);
    EXPECT_TRUE(GetDescriptor("Port").items.empty());
}

TEST(Catalogue, FactoryDefaults) {
    const std::pair<const char*, const char*> defaults[] = {
        {"Cj-.C", "Включен"},    {"in-t", "Датчик отключен"},
        {"in.Fd", "0"},          {"Itrl", "0.5"},
        {"in.SH", "0"},          {"in.SL", "1"},
        {"in.FG", "0"},          {"Ain.L", "0"},
        {"Ain.H", "100"},        {"dP", "0"},
        {"bPS", "9600"},         {"LEn", "8"},
        {"PrtY", "Отсутствует"}, {"Sbit", "1"},
        {"A.Len", "8"},          {"Addr", "16"},
        {"RS.dL", "2"},          {"Prot", "АРВО"},
    };
    RecordingPrompter prompter;
    for (const auto& [name, text] : defaults) {
        ASSERT_TRUE(FactoryDefault(name)) << name;
        EXPECT_EQ(*FactoryDefault(name), text);
        // Every default passes the parameter's own validation.
        Parameter p(name);
        EXPECT_TRUE(p.AssignValue(text, prompter)) << name;
    }
    EXPECT_EQ(prompter.count(), 0u);
    EXPECT_FALSE(FactoryDefault("dev"));
    EXPECT_FALSE(FactoryDefault("Port"));
    EXPECT_EQ(InputParameterNames().size(), 9u);
    EXPECT_EQ(InputParameterNames().front(), "in-t");
    EXPECT_EQ(InputParameterNames().back(), "dP");
}

}  // namespace
}  // namespace zep8
