#include "platform/password_hash.h"

#include <crypt.h>

#include <memory>

namespace zep8 {
namespace {

constexpr std::string_view kYescryptPrefix = "$y$";

// Both texts whole, so the time taken does not tell where they differ.
bool SameText(std::string_view a, std::string_view b) {
    if (a.size() != b.size()) return false;
    unsigned char difference = 0;
    for (std::size_t i = 0; i < a.size(); ++i) {
        difference |= static_cast<unsigned char>(a[i] ^ b[i]);
    }
    return difference == 0;
}

// crypt_r with `setting` (a salt or a whole hash); empty on failure, which
// libcrypt reports as a text starting with "*".
std::string Crypt(std::string_view password, const std::string& setting) {
    auto data = std::make_unique<crypt_data>();  // tens of kilobytes: not on the stack
    const std::string phrase(password);
    const char* hash = crypt_r(phrase.c_str(), setting.c_str(), data.get());
    if (!hash || *hash == '*') return {};
    return hash;
}

}  // namespace

std::string HashPassword(std::string_view password) {
    char salt[CRYPT_GENSALT_OUTPUT_SIZE];
    // No random bytes given: libcrypt takes them from the system.
    if (!crypt_gensalt_rn(kYescryptPrefix.data(), 0, nullptr, 0, salt, sizeof salt)) return {};
    return Crypt(password, salt);
}

bool IsPasswordHash(std::string_view kept) {
    return kept.starts_with(kYescryptPrefix);
}

bool PasswordMatches(std::string_view typed, std::string_view kept) {
    if (!IsPasswordHash(kept)) return SameText(typed, kept);
    const std::string hash = Crypt(typed, std::string(kept));
    return !hash.empty() && SameText(hash, kept);
}

}  // namespace zep8
