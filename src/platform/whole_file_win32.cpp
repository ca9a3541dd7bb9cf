#include "platform/whole_file.h"

#include <windows.h>

#include <algorithm>
#include <filesystem>

#include "platform/system_error_text.h"

namespace zep8 {
namespace {

std::wstring WidePath(const std::string& utf8) {
    return std::filesystem::path(std::u8string(utf8.begin(), utf8.end())).wstring();
}

std::string Reason(DWORD error) {
    return WindowsErrorText(error);
}

}  // namespace

// Beside the file first, flushed to the disk, then moved over it in one step
// (MoveFileEx with write-through), so a reader never sees half a file.
std::optional<std::string> WriteWholeFile(const std::string& path, std::string_view bytes) {
    const std::wstring target = WidePath(path);
    const std::wstring temporary = target + L".zep8-new";
    HANDLE file = CreateFileW(temporary.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                              FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE)
        return "Не удалось создать файл рядом с '" + path + "': " + Reason(GetLastError());
    std::size_t written = 0;
    DWORD error = 0;
    while (written < bytes.size() && error == 0) {
        DWORD n = 0;
        const DWORD chunk = static_cast<DWORD>(std::min<std::size_t>(bytes.size() - written, 1 << 20));
        if (!WriteFile(file, bytes.data() + written, chunk, &n, nullptr) || n == 0) {
            error = GetLastError();
        }
        written += n;
    }
    if (error == 0 && !FlushFileBuffers(file)) error = GetLastError();
    CloseHandle(file);
    if (error != 0) {
        DeleteFileW(temporary.c_str());
        return "Не удалось записать файл '" + path + "': " + Reason(error);
    }
    if (!MoveFileExW(temporary.c_str(), target.c_str(),
                     MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH)) {
        error = GetLastError();
        DeleteFileW(temporary.c_str());
        return "Не удалось заменить файл '" + path + "': " + Reason(error);
    }
    return std::nullopt;
}

// MoveFileEx replaces a link at `path` itself; files have no POSIX mode here.
std::optional<std::string> WriteSharedFile(const std::string& path, std::string_view bytes) {
    return WriteWholeFile(path, bytes);
}

std::optional<std::string> ReadWholeFile(const std::string& path, std::string& error) {
    HANDLE file = CreateFileW(WidePath(path).c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr,
                              OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE) {
        error = "Не удалось открыть файл '" + path + "': " + Reason(GetLastError());
        return std::nullopt;
    }
    std::string bytes;
    char buffer[65536];
    for (;;) {
        DWORD n = 0;
        if (!ReadFile(file, buffer, sizeof buffer, &n, nullptr)) {
            error = "Не удалось прочитать файл '" + path + "': " + Reason(GetLastError());
            CloseHandle(file);
            return std::nullopt;
        }
        if (n == 0) break;
        bytes.append(buffer, n);
    }
    CloseHandle(file);
    return bytes;
}

// FILE_APPEND_DATA alone: every write goes to the end, as O_APPEND does.
std::optional<std::string> AppendToFile(const std::string& path, std::string_view bytes) {
    HANDLE file = CreateFileW(WidePath(path).c_str(), FILE_APPEND_DATA, FILE_SHARE_READ | FILE_SHARE_WRITE,
                              nullptr, OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE) return Reason(GetLastError());
    DWORD error = 0;
    while (!bytes.empty() && error == 0) {
        DWORD n = 0;
        const DWORD chunk = static_cast<DWORD>(std::min<std::size_t>(bytes.size(), 1 << 20));
        if (!WriteFile(file, bytes.data(), chunk, &n, nullptr) || n == 0) error = GetLastError();
        bytes.remove_prefix(n);
    }
    CloseHandle(file);
    if (error != 0) return Reason(error);
    return std::nullopt;
}

}  // namespace zep8
