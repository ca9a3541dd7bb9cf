#pragma once

#include <optional>
#include <string>

namespace zep8 {

// The module's documented parameter list as one HTML page: Windows-1251 bytes
// with CR LF line ends, the same whatever configuration is loaded.
std::string ParameterListPage();

// Where the page goes: $XDG_CACHE_HOME/ARVO, or ~/.cache/ARVO; created when
// missing. The program's own folder may not be writable.
std::string ExportFolder();

// Writes the page to folder + "/parlist.html", replacing an earlier one, and
// returns its path; nothing, with the reason in `error`, when it cannot.
std::optional<std::string> WriteParameterListPage(const std::string& folder, std::string& error);

}  // namespace zep8
