#pragma once

#include <string>
#include <string_view>

#include "platform/prompter.h"
#include "platform/settings_store.h"

namespace zep8 {

inline constexpr std::string_view kProgramKey = "SOFTWARE\\ARVO\\ZEP8";
inline constexpr std::string_view kInstallationKey = "Software\\ARVO\\Devices\\ZEP8v7x";
inline constexpr std::string_view kDefaultPassword = "902417";

enum PasswordReadStatus : int {
    PASSWORD_READ_OK = 0,
    PASSWORD_VALUE_UNREADABLE = 1,
    PASSWORD_KEY_MISSING = 2,
};

enum PasswordWriteStatus : int {
    PASSWORD_WRITE_OK = 0,
    PASSWORD_WRITE_FAILED = 1,
    PASSWORD_WRITE_KEY_MISSING = 2,
};

struct PasswordRead {
    // As kept: a hash (PasswordMatches checks a typed password against it), a
    // plain text of an earlier version, or the default unless the status is
    // PASSWORD_READ_OK.
    std::string password;
    int status = PASSWORD_READ_OK;
};

PasswordRead LoadPassword(const SettingsStore& store);
// Keeps the hash of `password`, never the text itself; writes into the
// existing program key only, it never creates it.
int StorePassword(SettingsStore& store, std::string_view password);
// The password of this run, as LoadPassword reads it; a plain text left by an
// earlier version is replaced by its hash at once (it stays the password).
std::string OperatorPassword(SettingsStore& store);

// "name" and "version" of the installation record, each only when absent.
void RecordProgramNames(SettingsStore& store, std::string_view programVersion);

// The check made while the document is built: "description" when absent,
// then, when another configurator is registered as "application", asks
// whether this one (`programPath`, absolute) should take its place.
void CheckInstallationRecord(SettingsStore& store, const std::string& programPath,
                             Prompter& prompter);

}  // namespace zep8
