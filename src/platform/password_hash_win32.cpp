#include <windows.h>
// after windows.h
#include <bcrypt.h>

#include "platform/password_hash.h"

namespace zep8 {

// Windows has no yescrypt: new hashes are PBKDF2 from BCrypt, and a yescrypt
// hash moved from another system cannot be checked here.
std::string HashPassword(std::string_view password) {
    return HashPasswordPbkdf2(password);
}

bool IsPasswordHash(std::string_view kept) {
    return kept.starts_with("$y$") || IsPbkdf2Hash(kept);
}

bool PasswordMatches(std::string_view typed, std::string_view kept) {
    if (IsPbkdf2Hash(kept)) return Pbkdf2Matches(typed, kept);
    if (IsPasswordHash(kept)) return false;
    return SameText(typed, kept);
}

bool Pbkdf2Sha256(std::string_view password, std::string_view salt, unsigned iterations,
                  unsigned char (&out)[32]) {
    BCRYPT_ALG_HANDLE algorithm = nullptr;
    if (BCryptOpenAlgorithmProvider(&algorithm, BCRYPT_SHA256_ALGORITHM, nullptr,
                                    BCRYPT_ALG_HANDLE_HMAC_FLAG) != 0) {
        return false;
    }
    const NTSTATUS status = BCryptDeriveKeyPBKDF2(
        algorithm, reinterpret_cast<PUCHAR>(const_cast<char*>(password.data())),
        static_cast<ULONG>(password.size()), reinterpret_cast<PUCHAR>(const_cast<char*>(salt.data())),
        static_cast<ULONG>(salt.size()), iterations, out, sizeof out, 0);
    BCryptCloseAlgorithmProvider(algorithm, 0);
    return status == 0;
}

bool RandomBytes(unsigned char* out, std::size_t size) {
    return BCryptGenRandom(nullptr, out, static_cast<ULONG>(size),
                           BCRYPT_USE_SYSTEM_PREFERRED_RNG) == 0;
}

}  // namespace zep8
