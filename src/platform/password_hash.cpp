#include "platform/password_hash.h"

#include <cstdlib>
#include <optional>

namespace zep8 {
namespace {

constexpr std::string_view kPbkdf2Prefix = "$pbkdf2-sha256$";
constexpr unsigned kIterations = 600000;
constexpr std::size_t kSaltBytes = 16;

std::string Hex(const unsigned char* bytes, std::size_t size) {
    static constexpr char kDigits[] = "0123456789abcdef";
    std::string hex;
    for (std::size_t i = 0; i < size; ++i) {
        hex += kDigits[bytes[i] >> 4];
        hex += kDigits[bytes[i] & 15];
    }
    return hex;
}

std::optional<std::string> Bytes(std::string_view hex) {
    if (hex.size() % 2 != 0) return std::nullopt;
    std::string bytes;
    for (std::size_t i = 0; i < hex.size(); i += 2) {
        int value = 0;
        for (const char c : hex.substr(i, 2)) {
            const int digit = c >= '0' && c <= '9' ? c - '0' : c >= 'a' && c <= 'f' ? c - 'a' + 10 : -1;
            if (digit < 0) return std::nullopt;
            value = value * 16 + digit;
        }
        bytes += static_cast<char>(value);
    }
    return bytes;
}

std::string Pbkdf2Text(std::string_view password, std::string_view salt, unsigned iterations) {
    unsigned char derived[32];
    if (!Pbkdf2Sha256(password, salt, iterations, derived)) return {};
    return std::string(kPbkdf2Prefix) + std::to_string(iterations) + "$" +
           Hex(reinterpret_cast<const unsigned char*>(salt.data()), salt.size()) + "$" +
           Hex(derived, sizeof derived);
}

}  // namespace

bool SameText(std::string_view a, std::string_view b) {
    if (a.size() != b.size()) return false;
    unsigned char difference = 0;
    for (std::size_t i = 0; i < a.size(); ++i) {
        difference |= static_cast<unsigned char>(a[i] ^ b[i]);
    }
    return difference == 0;
}

std::string HashPasswordPbkdf2(std::string_view password) {
    unsigned char salt[kSaltBytes];
    if (!RandomBytes(salt, sizeof salt)) return {};
    return Pbkdf2Text(password, std::string_view(reinterpret_cast<const char*>(salt), sizeof salt),
                      kIterations);
}

bool IsPbkdf2Hash(std::string_view kept) {
    return kept.starts_with(kPbkdf2Prefix);
}

// "$pbkdf2-sha256$ITERATIONS$SALT$HASH": the iterations and salt it was made with.
bool Pbkdf2Matches(std::string_view typed, std::string_view kept) {
    if (!IsPbkdf2Hash(kept)) return false;
    std::string_view rest = kept.substr(kPbkdf2Prefix.size());
    const std::size_t first = rest.find('$');
    const std::size_t second = first == std::string_view::npos ? first : rest.find('$', first + 1);
    if (second == std::string_view::npos) return false;
    const std::string count(rest.substr(0, first));
    if (count.empty() || count.find_first_not_of("0123456789") != std::string::npos ||
        count.size() > 9) {
        return false;
    }
    const std::optional<std::string> salt = Bytes(rest.substr(first + 1, second - first - 1));
    if (!salt || salt->empty()) return false;
    const auto iterations = static_cast<unsigned>(std::strtoul(count.c_str(), nullptr, 10));
    if (iterations == 0) return false;
    const std::string made = Pbkdf2Text(typed, *salt, iterations);
    return !made.empty() && SameText(made, kept);
}

}  // namespace zep8
