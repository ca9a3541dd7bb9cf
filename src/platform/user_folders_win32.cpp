#include "platform/user_folders.h"

#include <cstdlib>
#include <filesystem>

namespace zep8 {

// Windows keeps both what can be made again and the user's own files under
// the roaming application data folder (%APPDATA%\ARVO); LOCALAPPDATA when
// that is missing. The variable names of the XDG rules do not apply.
std::string UserFolder(std::string_view, std::string_view) {
    std::filesystem::path base;
    for (const wchar_t* variable : {L"APPDATA", L"LOCALAPPDATA", L"USERPROFILE"}) {
        if (const wchar_t* value = _wgetenv(variable); value && *value) {
            base = value;
            break;
        }
    }
    const std::filesystem::path folder = base / L"ARVO";
    std::error_code ignored;
    std::filesystem::create_directories(folder, ignored);
    const std::u8string text = folder.u8string();
    return std::string(text.begin(), text.end());
}

}  // namespace zep8
