#pragma once

#include <string>
#include <string_view>

#include "app/preferences.h"
#include "platform/prompter.h"
#include "platform/settings_store.h"

namespace zep8 {

// "name" and "version" of the installation record, each only when absent.
void RecordProgramNames(SettingsStore& store, std::string_view programVersion);

// The check made while the document is built: "description" when absent,
// then, when another configurator is registered as "application", asks
// whether this one (`programPath`, absolute) should take its place.
void CheckInstallationRecord(SettingsStore& store, const std::string& programPath,
                             Prompter& prompter);

}  // namespace zep8
