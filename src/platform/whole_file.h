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

// The same for a file any user may read (a page for a viewer in a shared
// folder): made readable by all, and a symbolic link at `path` is replaced
// itself, never followed.
std::optional<std::string> WriteSharedFile(const std::string& path, std::string_view bytes);

// The whole content of `path` (bytes as they are, no newline translation);
// nothing, with the Russian reason in `error`, when it cannot be read.
std::optional<std::string> ReadWholeFile(const std::string& path, std::string& error);

// Adds `bytes` at the end of `path` in one write, making the file when it is
// missing; the system's reason in the operator's words on failure.
std::optional<std::string> AppendToFile(const std::string& path, std::string_view bytes);

}  // namespace zep8
