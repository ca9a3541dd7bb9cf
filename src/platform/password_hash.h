#pragma once

#include <cstddef>
#include <string>
#include <string_view>

namespace zep8 {

// Where the store is the program's own, the operator password is kept as a
// salted one-way hash, so that the settings file does not give it away (a
// value kept as text stays text: see Preferences::StorePassword): yescrypt ("$y$...", libcrypt) where the
// system has it, else PBKDF2-HMAC-SHA256 from the system's own cryptography
// ("$pbkdf2-sha256$ITERATIONS$SALT$HASH", hex), which every build checks, so
// that a value moved from a Windows machine still works.

// A fresh salt each time; empty when no hash can be made (no random source),
// in which case nothing should be kept rather than the plain text.
std::string HashPassword(std::string_view password);

// The kept form is a hash made by HashPassword.
bool IsPasswordHash(std::string_view kept);

// Whether `typed` is the password `kept` stands for. A hash is checked by
// hashing `typed` with its salt; anything else (the default, or a plain text
// left by an earlier version) is the password itself.
bool PasswordMatches(std::string_view typed, std::string_view kept);

// PBKDF2-HMAC-SHA256 of `password` with `salt` (32 bytes out); false when the
// system's cryptography refuses. One per platform, with RandomBytes.
bool Pbkdf2Sha256(std::string_view password, std::string_view salt, unsigned iterations,
                  unsigned char (&out)[32]);
bool RandomBytes(unsigned char* out, std::size_t size);

// The PBKDF2 form: made and checked the same on every system.
std::string HashPasswordPbkdf2(std::string_view password);
bool IsPbkdf2Hash(std::string_view kept);
bool Pbkdf2Matches(std::string_view typed, std::string_view kept);
// Both texts whole, so the time taken does not tell where they differ.
bool SameText(std::string_view a, std::string_view b);

}  // namespace zep8
