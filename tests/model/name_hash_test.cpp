#include "model/name_hash.h"

#include <gtest/gtest.h>

#include <utility>
#include <vector>

namespace zep8 {
namespace {

TEST(NameHash, NamesTheModuleUses) {
    const std::vector<std::pair<const char*, std::uint16_t>> known = {
        {"dev", 0xD681},   {"ver", 0x2D5B},      {"exit", 0x92ED},  {"bPS", 0xB760},
        {"LEn", 0x523F},   {"PrtY", 0xE8C4},     {"Sbit", 0xB72E},  {"A.Len", 0x1ED2},
        {"Addr", 0x9F62},  {"Cj-.C", 0xFA68},    {"in-t", 0x932D},  {"in.Fd", 0x1659},
        {"Prt", 0xAF20},   {"in.SH", 0xF6AB},    {"in.SL", 0x20B6}, {"in.FG", 0x340A},
        {"Ain.L", 0x34E0}, {"Ain.H", 0xE2FD},    {"rEAd", 0x8784},  {"APLY", 0x8403},
        {"n.Err", 0x0233}, {"M.s.t.r.", 0x5EA0}, {"RS.dL", 0xCBF5}, {"Prot", 0x41F2},
        {"Port", 0x4AC7},  {"Itrl", 0x7F16},     {"dP", 0xB3EB},    {"n.Flt", 0x8A9E},
        {" ", 0x1DDE},     {"  ", 0x1DDE},       {"   ", 0x1DDE},   {"    ", 0x1DDE},
    };
    for (const auto& [name, hash] : known) EXPECT_EQ(hash_name(name), hash) << name;
}

TEST(NameHash, CaseDoesNotMatter) {
    EXPECT_EQ(hash_name("READ"), hash_name("rEAd"));
    EXPECT_EQ(hash_name("cj-.c"), 0xFA68);
}

TEST(NameHash, EmptyAndOverlongNamesHashToZero) {
    EXPECT_EQ(hash_name(""), 0);
    EXPECT_EQ(hash_name("abcdefghi"), 0);
    EXPECT_NE(hash_name("abcdefgh"), 0);
}

TEST(NameHash, OnlyFourCodedCharactersCount) {
    EXPECT_EQ(hash_name("abcdefgh"), hash_name("abcd"));
    EXPECT_NE(hash_name("abcd."), hash_name("abcd"));   // the dot marks the fourth character
    EXPECT_EQ(hash_name("abcde."), hash_name("abcd"));  // a fifth character ends the walk
}

TEST(NameHash, ForeignCharactersAreSkipped) {
    EXPECT_EQ(hash_name("in/t"), hash_name("int"));
    EXPECT_EQ(hash_name("i+n"), hash_name("in"));
    EXPECT_EQ(hash_name("aП"), hash_name("a"));      // a Cyrillic letter
    EXPECT_EQ(hash_name(".dev"), hash_name("dev"));  // a leading dot is skipped
}

}  // namespace
}  // namespace zep8
