#include "link/serial/port_names.h"

#include <grp.h>
#include <pwd.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <climits>
#include <cstdlib>
#include <cstring>
#include <vector>

#include "link/serial/system_files.h"
#include "platform/text.h"

namespace zep8 {
namespace {

// The process whose open descriptors include `path`, as "name (процесс N)".
std::string HolderOf(const std::string& path) {
    char* resolved = realpath(path.c_str(), nullptr);
    const std::string target = resolved ? resolved : path;
    std::free(resolved);
    for (const std::string& pid : DirectoryNames("/proc")) {
        if (pid.find_first_not_of("0123456789") != std::string::npos) continue;
        if (std::to_string(getpid()) == pid) continue;
        const std::string fdDir = "/proc/" + pid + "/fd";
        for (const std::string& fd : DirectoryNames(fdDir)) {
            char link[PATH_MAX];
            const ssize_t n = readlink((fdDir + "/" + fd).c_str(), link, sizeof link - 1);
            if (n <= 0 || std::string(link, static_cast<std::size_t>(n)) != target) continue;
            return ReadFirstLine("/proc/" + pid + "/comm") + " (процесс " + pid + ")";
        }
    }
    return {};
}

std::string PermissionReasonFor(const std::string& path) {
    struct stat st {};
    if (stat(path.c_str(), &st) != 0) {
        return "Нет прав на открытие порта " + path + ".";
    }
    const group* g = getgrgid(st.st_gid);
    const std::string groupName = g ? g->gr_name : std::to_string(st.st_gid);
    const passwd* pw = getpwuid(getuid());
    const std::string userName = pw ? pw->pw_name : std::to_string(getuid());

    bool now = getegid() == st.st_gid;
    std::vector<gid_t> groups(static_cast<std::size_t>(std::max(getgroups(0, nullptr), 0)));
    if (!groups.empty())
        groups.resize(
            static_cast<std::size_t>(getgroups(static_cast<int>(groups.size()), groups.data())));
    now = now || std::find(groups.begin(), groups.end(), st.st_gid) != groups.end();

    bool listed = pw && pw->pw_gid == st.st_gid;
    if (g) {
        for (char** member = g->gr_mem; *member && !listed; ++member) listed = userName == *member;
    }
    return PermissionReason(path, groupName, userName, now, listed);
}

}  // namespace

std::string PortDevicePath(const std::string& name) {
    // A serial device server's URL names itself.
    if (!name.empty() && name[0] == '/') return name;
    if (name.find("://") != std::string::npos) return name;
    if (name.size() > 3 && EqualsIgnoreCase(name.substr(0, 3), "COM") &&
        name.find_first_not_of("0123456789", 3) == std::string::npos) {
        const long n = std::atol(name.c_str() + 3);
        if (n >= 1) return "/dev/ttyS" + std::to_string(n - 1);
    }
    return "/dev/" + name;
}

std::string_view PortNumberMeaning() {
    return "/dev/ttyS(N-1)";
}

std::string_view ExamplePortPath() {
    return "/dev/ttyUSB0";
}

std::string PermissionReason(const std::string& path, const std::string& group,
                             const std::string& user, bool inGroupNow, bool inGroupListed) {
    const std::string head =
        "Нет прав на открытие порта " + path + ": устройство принадлежит группе " + group;
    if (inGroupNow) return head + ", но открыть его не удалось и членам группы.";
    if (inGroupListed) {
        return head + ". Пользователь " + user +
               " уже включён в эту группу, но текущий сеанс начат раньше: войдите в систему "
               "заново.";
    }
    return head + ", а пользователь " + user +
           " в неё не входит. Добавьте его в группу (sudo usermod -a -G " + group + " " + user +
           ") и войдите в систему заново.";
}

std::string DescribeOpenFailure(const std::string& path, int error) {
    switch (error) {
        case ENOENT:
        case ENODEV:
        case ENXIO:
            return "Порт " + path + " не найден: такого устройства нет.";
        case EACCES:
        case EPERM:
            return PermissionReasonFor(path);
        case EBUSY: {
            const std::string holder = HolderOf(path);
            return "Порт " + path + " занят другой программой" +
                   (holder.empty() ? std::string(".") : ": " + holder + ".");
        }
        default:
            return "Не удаётся открыть порт " + path + ": " + std::strerror(error) + ".";
    }
}

}  // namespace zep8
