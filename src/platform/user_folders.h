#pragma once

#include <string>
#include <string_view>

namespace zep8 {

// The program's folder under one of the user's base folders: $VARIABLE/ARVO
// when the variable holds an absolute path (the base directory rules ignore a
// relative one), else ~/HOME_FALLBACK/ARVO. Created when missing; a folder
// that cannot be made shows when something is written into it.
std::string UserFolder(std::string_view variable, std::string_view homeFallback);

// $XDG_CACHE_HOME/ARVO (normally ~/.cache/ARVO): what can be made again.
inline std::string UserCacheFolder() {
    return UserFolder("XDG_CACHE_HOME", ".cache");
}
// $XDG_DATA_HOME/ARVO (normally ~/.local/share/ARVO): the user's own files.
inline std::string UserDataFolder() {
    return UserFolder("XDG_DATA_HOME", ".local/share");
}

}  // namespace zep8
