#include "platform/user_folders.h"

#include <pwd.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>

namespace zep8 {
namespace {

std::string HomeFolder() {
    if (const char* home = std::getenv("HOME"); home && *home) return home;
    if (const passwd* user = getpwuid(getuid()); user && user->pw_dir) return user->pw_dir;
    return "/tmp";
}

}  // namespace

std::string UserFolder(std::string_view variable, std::string_view homeFallback) {
    const char* base = std::getenv(std::string(variable).c_str());
    const std::string folder =
        (base && *base == '/' ? std::string(base)
                              : HomeFolder() + "/" + std::string(homeFallback)) +
        "/ARVO";
    std::error_code ignored;
    std::filesystem::create_directories(folder, ignored);
    return folder;
}

}  // namespace zep8
