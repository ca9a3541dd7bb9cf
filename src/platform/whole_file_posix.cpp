#include "platform/whole_file.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <array>
#include <cerrno>
#include <cstdlib>

#include "platform/system_error_text.h"

namespace zep8 {

namespace {

// Writes `target` beside itself with `mode`, then renames it into place;
// `path` is the name the operator knows, for the reasons.
std::optional<std::string> WriteBeside(const std::string& path, const std::string& target,
                                       mode_t mode, std::string_view bytes) {
    std::string temporary = target + ".XXXXXX";
    const int fd = mkstemp(temporary.data());
    if (fd < 0) return "Не удалось создать файл рядом с '" + path + "': " + SystemErrorText(errno);
    auto fail = [&](const std::string& what) -> std::optional<std::string> {
        const int error = errno;
        close(fd);
        unlink(temporary.c_str());
        return what + " '" + path + "': " + SystemErrorText(error);
    };
    std::size_t written = 0;
    while (written < bytes.size()) {
        const ssize_t n = write(fd, bytes.data() + written, bytes.size() - written);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) return fail("Не удалось записать файл");
        written += static_cast<std::size_t>(n);
    }
    if (fchmod(fd, mode) != 0 || fsync(fd) != 0) return fail("Не удалось записать файл");
    if (close(fd) != 0) {
        const int error = errno;
        unlink(temporary.c_str());
        return "Не удалось записать файл '" + path + "': " + SystemErrorText(error);
    }
    if (rename(temporary.c_str(), target.c_str()) != 0) {
        const int error = errno;
        unlink(temporary.c_str());
        return "Не удалось заменить файл '" + path + "': " + SystemErrorText(error);
    }
    return std::nullopt;
}

}  // namespace

std::optional<std::string> WriteWholeFile(const std::string& path, std::string_view bytes) {
    // Through a link, the file it points to is the one replaced.
    std::string target = path;
    if (char* resolved = realpath(path.c_str(), nullptr)) {
        target = resolved;
        std::free(resolved);
    }
    mode_t mode = 0666;
    struct stat existing {};
    if (stat(target.c_str(), &existing) == 0) {
        mode = existing.st_mode & 07777;
    } else {
        const mode_t mask = umask(0);
        umask(mask);
        mode &= ~mask;
    }
    return WriteBeside(path, target, mode, bytes);
}

std::optional<std::string> WriteSharedFile(const std::string& path, std::string_view bytes) {
    return WriteBeside(path, path, 0644, bytes);
}

std::optional<std::string> ReadWholeFile(const std::string& path, std::string& error) {
    const int fd = open(path.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0) {
        error = "Не удалось открыть файл '" + path + "': " + SystemErrorText(errno);
        return std::nullopt;
    }
    std::string bytes;
    std::array<char, 65536> buffer;
    for (;;) {
        const ssize_t n = read(fd, buffer.data(), buffer.size());
        if (n < 0 && errno == EINTR) continue;
        if (n < 0) {
            error = "Не удалось прочитать файл '" + path + "': " + SystemErrorText(errno);
            close(fd);
            return std::nullopt;
        }
        if (n == 0) break;
        bytes.append(buffer.data(), static_cast<std::size_t>(n));
    }
    close(fd);
    return bytes;
}

std::optional<std::string> AppendToFile(const std::string& path, std::string_view bytes) {
    const int fd = ::open(path.c_str(), O_WRONLY | O_APPEND | O_CREAT | O_CLOEXEC, 0666);
    if (fd < 0) return SystemErrorText(errno);
    int error = 0;
    while (!bytes.empty()) {
        const ssize_t n = ::write(fd, bytes.data(), bytes.size());
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) {
            error = n < 0 ? errno : EIO;
            break;
        }
        bytes.remove_prefix(static_cast<std::size_t>(n));
    }
    if (::close(fd) != 0 && error == 0) error = errno;
    if (error != 0) return SystemErrorText(error);
    return std::nullopt;
}

}  // namespace zep8
