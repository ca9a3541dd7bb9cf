#pragma once

#include <string>
#include <string_view>

namespace zep8 {

// The operator password is kept as a salted one-way hash (yescrypt, "$y$..."),
// so that the settings file does not give it away.

// A fresh salt each time; empty when no hash can be made (no random source),
// in which case nothing should be kept rather than the plain text.
std::string HashPassword(std::string_view password);

// The kept form is a hash made by HashPassword.
bool IsPasswordHash(std::string_view kept);

// Whether `typed` is the password `kept` stands for. A hash is checked by
// hashing `typed` with its salt; anything else (the default, or a plain text
// left by an earlier version) is the password itself.
bool PasswordMatches(std::string_view typed, std::string_view kept);

}  // namespace zep8
