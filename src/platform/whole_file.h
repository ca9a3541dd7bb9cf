#pragma once

#include <optional>
#include <string>
#include <string_view>

namespace zep8 {

// Writes `bytes` as the whole content of `path`: beside it first, then renamed
// over it, so a reader never sees half a file and a failed write leaves the
// old one as it was. Keeps the mode of a file it replaces; through a symbolic
// link it replaces the file linked to. The Russian reason on failure.
std::optional<std::string> WriteWholeFile(const std::string& path, std::string_view bytes);

}  // namespace zep8
