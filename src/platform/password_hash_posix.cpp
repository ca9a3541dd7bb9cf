#include "platform/password_hash.h"

#include <crypt.h>
#include <openssl/evp.h>
#include <openssl/rand.h>

#include <memory>

namespace zep8 {
namespace {

constexpr std::string_view kYescryptPrefix = "$y$";

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
    return kept.starts_with(kYescryptPrefix) || IsPbkdf2Hash(kept);
}

bool PasswordMatches(std::string_view typed, std::string_view kept) {
    if (IsPbkdf2Hash(kept)) return Pbkdf2Matches(typed, kept);
    if (!IsPasswordHash(kept)) return SameText(typed, kept);
    const std::string hash = Crypt(typed, std::string(kept));
    return !hash.empty() && SameText(hash, kept);
}

}  // namespace zep8

namespace zep8 {

bool Pbkdf2Sha256(std::string_view password, std::string_view salt, unsigned iterations,
                  unsigned char (&out)[32]) {
    return PKCS5_PBKDF2_HMAC(password.data(), static_cast<int>(password.size()),
                             reinterpret_cast<const unsigned char*>(salt.data()),
                             static_cast<int>(salt.size()), static_cast<int>(iterations),
                             EVP_sha256(), sizeof out, out) == 1;
}

bool RandomBytes(unsigned char* out, std::size_t size) {
    return RAND_bytes(out, static_cast<int>(size)) == 1;
}

}  // namespace zep8
