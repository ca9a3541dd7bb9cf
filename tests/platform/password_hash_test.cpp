#include "platform/password_hash.h"

#include <gtest/gtest.h>

namespace zep8 {
namespace {

// PBKDF2-HMAC-SHA256("password", "salt", 1 iteration): RFC 7914's vector.
constexpr std::string_view kMovedFromWindows =
    "$pbkdf2-sha256$1$73616c74$120fb6cffcf8b32c43e7225256c4f837a86548c92ccc35480805987cb70be17b";

// A value made on another system is checked alike on every system, and every
// system's own hash round-trips with a fresh salt.
TEST(PasswordHash, ThePbkdf2FormIsCheckedOnEverySystem) {
    EXPECT_TRUE(IsPasswordHash(kMovedFromWindows));
    EXPECT_TRUE(PasswordMatches("password", kMovedFromWindows));
    EXPECT_FALSE(PasswordMatches("Password", kMovedFromWindows));
    for (const std::string_view broken :
         {"$pbkdf2-sha256$0$73616c74$120f", "$pbkdf2-sha256$x$73616c74$120f",
          "$pbkdf2-sha256$1$7361zz74$120f", "$pbkdf2-sha256$1$$120f", "$pbkdf2-sha256$1"}) {
        EXPECT_FALSE(PasswordMatches("password", broken)) << broken;
    }

    const std::string kept = HashPassword("902417");
    ASSERT_FALSE(kept.empty());
    EXPECT_TRUE(IsPasswordHash(kept));
    EXPECT_TRUE(PasswordMatches("902417", kept));
    EXPECT_FALSE(PasswordMatches("902418", kept));
    EXPECT_NE(HashPassword("902417"), kept);

    const std::string pbkdf2 = HashPasswordPbkdf2("пароль");
    EXPECT_TRUE(pbkdf2.starts_with("$pbkdf2-sha256$600000$"));
    EXPECT_TRUE(PasswordMatches("пароль", pbkdf2));
    // A text left by an earlier version is the password itself.
    EXPECT_TRUE(PasswordMatches("902417", "902417"));
    EXPECT_FALSE(IsPasswordHash("902417"));
}

}  // namespace
}  // namespace zep8
