#include "model/name_hash.h"

#include <array>

#include "platform/text.h"

namespace zep8 {
namespace {

constexpr std::uint16_t kPolynomial = 0x8F57;

// Feeds the low `width` bits of `value`, most significant first.
std::uint16_t Feed(std::uint16_t reg, unsigned value, int width) {
    for (int bit = width - 1; bit >= 0; --bit) {
        const bool in = (value >> bit) & 1;
        const bool top = (reg >> 15) & 1;
        reg = static_cast<std::uint16_t>(reg << 1);
        if (in != top) reg ^= kPolynomial;
    }
    return reg;
}

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

int hash_buffer(const std::uint8_t* bytes, std::size_t count, std::uint16_t& sum,
                std::uint16_t start) {
    std::uint16_t reg = start;
    for (std::size_t i = 0; i < count; ++i) reg = Feed(reg, bytes[i], 8);
    sum = reg;
    return 1;
}

std::uint16_t hash_buffer(const std::uint8_t* bytes, std::size_t count) {
    std::uint16_t sum = 0;
    hash_buffer(bytes, count, sum, 0);
    return sum;
}

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
    for (unsigned entry : entries) reg = Feed(reg, entry, 7);
    return reg;
}

}  // namespace zep8
