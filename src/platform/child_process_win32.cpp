#include "platform/child_process.h"

#include <windows.h>

#include <filesystem>
#include <utility>

namespace zep8 {
namespace {

std::wstring Wide(const std::string& utf8) {
    return std::filesystem::path(std::u8string(utf8.begin(), utf8.end())).wstring();
}

// One argument as CommandLineToArgvW reads it back.
std::wstring Quoted(const std::wstring& argument) {
    if (!argument.empty() && argument.find_first_of(L" \t\"") == std::wstring::npos)
        return argument;
    std::wstring out = L"\"";
    std::size_t backslashes = 0;
    for (const wchar_t c : argument) {
        if (c == L'\\') {
            ++backslashes;
            continue;
        }
        out.append(c == L'"' ? backslashes * 2 + 1 : backslashes, L'\\');
        backslashes = 0;
        out += c;
    }
    out.append(backslashes * 2, L'\\');
    return out + L"\"";
}

HANDLE Handle(std::intptr_t pid) {
    return reinterpret_cast<HANDLE>(pid);
}

}  // namespace

std::optional<ChildProcess> ChildProcess::Start(const std::vector<std::string>& argv) {
    if (argv.empty()) return std::nullopt;
    std::wstring line;
    for (const std::string& a : argv) line += (line.empty() ? L"" : L" ") + Quoted(Wide(a));
    STARTUPINFOW startup{};
    startup.cb = sizeof startup;
    PROCESS_INFORMATION process{};
    if (!CreateProcessW(nullptr, line.data(), nullptr, nullptr, FALSE, CREATE_NO_WINDOW, nullptr,
                        nullptr, &startup, &process)) {
        return std::nullopt;
    }
    CloseHandle(process.hThread);
    return ChildProcess(reinterpret_cast<std::intptr_t>(process.hProcess), -1);
}

ChildProcess::ChildProcess(ChildProcess&& other) noexcept
    : pid_(std::exchange(other.pid_, -1)),
      fd_(std::exchange(other.fd_, -1)),
      status_(other.status_) {}

ChildProcess& ChildProcess::operator=(ChildProcess&& other) noexcept {
    if (this != &other) {
        if (pid_ != -1) CloseHandle(Handle(pid_));
        pid_ = std::exchange(other.pid_, -1);
        fd_ = std::exchange(other.fd_, -1);
        status_ = other.status_;
    }
    return *this;
}

ChildProcess::~ChildProcess() {
    if (pid_ != -1) CloseHandle(Handle(pid_));
}

std::optional<int> ChildProcess::Ended() {
    if (status_ || pid_ == -1) return status_;
    if (WaitForSingleObject(Handle(pid_), 0) != WAIT_OBJECT_0) return std::nullopt;
    DWORD code = 0;
    GetExitCodeProcess(Handle(pid_), &code);
    status_ = static_cast<int>(code);
    return status_;
}

}  // namespace zep8
