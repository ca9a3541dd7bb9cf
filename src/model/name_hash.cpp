#include "model/name_hash.h"

#include <array>

#include "model/check_sum.h"
#include "platform/text.h"

namespace zep8 {
namespace {

// A character's code in the name alphabet: 0..9 digits, 10..35 letters,
// 36 "-", 37 "_", 39 space; -1 for characters the alphabet lacks.
int CharacterCode(char c) {
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 'a' + 'A');
    if (c >= 'A' && c <= 'Z') return 10 + (c - 'A');
    if (c == '-') return 36;
    if (c == '_') return 37;
    if (c == ' ') return 39;
    return -1;
}

}  // namespace

std::uint16_t hash_name(std::string_view name) {
    if (name.empty() || Utf8Length(name) > 8) return 0;

    // Each entry: the character code shifted left, the low bit flags a "." after it.
    std::array<unsigned, 4> entries{78, 78, 78, 78};
    std::size_t filled = 0;
    for (std::size_t i = 0; i < name.size() && filled < 5; ++i) {
        const char c = name[i];
        if (c == '.') {
            if (i > 0 && filled > 0 && filled <= entries.size()) entries[filled - 1] += 1;
            continue;
        }
        const int code = CharacterCode(c);
        if (code < 0) continue;
        if (filled < entries.size()) entries[filled] = static_cast<unsigned>(code) * 2;
        ++filled;
    }

    std::uint16_t reg = 0;
    for (unsigned entry : entries) reg = FeedCheckSum(reg, entry, 7);
    return reg;
}

}  // namespace zep8
