#include "zep8/windows_process.h"

#include <windows.h>
#include <shellapi.h>

#include <iostream>
#include <mutex>
#include <streambuf>
#include <string>

#include "platform/wide_text_win32.h"

namespace zep8 {
namespace {

// Keeps the bytes of a character that is not yet whole: a UTF-8 sequence may
// arrive in two writes.
std::size_t WholeCharacters(const std::string& bytes) {
    std::size_t end = bytes.size();
    std::size_t back = 0;
    while (end > 0 && back < 4) {
        const unsigned char c = static_cast<unsigned char>(bytes[end - 1]);
        if ((c & 0xC0) != 0x80) {
            const std::size_t need = c < 0x80 ? 1 : (c & 0xE0) == 0xC0 ? 2 : (c & 0xF0) == 0xE0 ? 3 : 4;
            return back + 1 >= need ? bytes.size() : end - 1;
        }
        --end;
        ++back;
    }
    return bytes.size();
}

class ConsoleBuffer : public std::streambuf {
  public:
    explicit ConsoleBuffer(HANDLE console) : console_(console) {}
    ~ConsoleBuffer() override { sync(); }

  protected:
    // The job's progress and the run's own lines may come from two threads.
    int_type overflow(int_type c) override {
        if (c == traits_type::eof()) return traits_type::not_eof(c);
        std::lock_guard lock(mutex_);
        pending_ += static_cast<char>(c);
        if (c == '\n') Flush();
        return c;
    }

    std::streamsize xsputn(const char* text, std::streamsize count) override {
        std::lock_guard lock(mutex_);
        pending_.append(text, static_cast<std::size_t>(count));
        if (pending_.find('\n') != std::string::npos) Flush();
        return count;
    }

    int sync() override {
        std::lock_guard lock(mutex_);
        return Flush();
    }

  private:
    // With the mutex held.
    int Flush() {
        const std::size_t whole = WholeCharacters(pending_);
        const std::wstring wide = WideFromUtf8(std::string_view(pending_).substr(0, whole));
        pending_.erase(0, whole);
        const wchar_t* rest = wide.c_str();
        DWORD left = static_cast<DWORD>(wide.size());
        while (left > 0) {
            DWORD written = 0;
            if (!WriteConsoleW(console_, rest, left, &written, nullptr) || written == 0) return -1;
            rest += written;
            left -= written;
        }
        return 0;
    }

    HANDLE console_;
    std::mutex mutex_;
    std::string pending_;
};

// The stream's own buffer when the handle is a console, else nothing.
void UseConsole(std::ostream& stream, DWORD handleId) {
    const HANDLE handle = GetStdHandle(handleId);
    DWORD mode = 0;
    if (handle == INVALID_HANDLE_VALUE || !handle || !GetConsoleMode(handle, &mode)) return;
    stream.rdbuf(new ConsoleBuffer(handle));  // lives as long as the stream
}

bool HandleGiven(DWORD handleId) {
    const HANDLE handle = GetStdHandle(handleId);
    return handle && handle != INVALID_HANDLE_VALUE && GetFileType(handle) != FILE_TYPE_UNKNOWN;
}

}  // namespace

void AttachCallersConsole() {
    if (HandleGiven(STD_OUTPUT_HANDLE) && HandleGiven(STD_ERROR_HANDLE)) return;
    if (!AttachConsole(ATTACH_PARENT_PROCESS)) return;  // started from the desktop
    for (const DWORD id : {STD_OUTPUT_HANDLE, STD_ERROR_HANDLE}) {
        if (HandleGiven(id)) continue;
        const HANDLE console = CreateFileW(L"CONOUT$", GENERIC_READ | GENERIC_WRITE,
                                           FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                                           OPEN_EXISTING, 0, nullptr);
        if (console != INVALID_HANDLE_VALUE) SetStdHandle(id, console);
    }
}

void UseConsoleForStandardStreams() {
    UseConsole(std::cout, STD_OUTPUT_HANDLE);
    UseConsole(std::cerr, STD_ERROR_HANDLE);
}

std::vector<std::string> CommandLineArguments() {
    std::vector<std::string> args;
    int count = 0;
    wchar_t** wide = CommandLineToArgvW(GetCommandLineW(), &count);
    if (!wide) return args;
    for (int i = 1; i < count; ++i) args.push_back(Utf8FromWide(wide[i]));
    LocalFree(wide);
    return args;
}

std::string ProgramFilePath() {
    std::wstring path(MAX_PATH, L'\0');
    for (;;) {
        const DWORD length =
            GetModuleFileNameW(nullptr, path.data(), static_cast<DWORD>(path.size()));
        if (length < path.size()) {
            path.resize(length);
            return Utf8FromWide(path);
        }
        path.resize(path.size() * 2);
    }
}

}  // namespace zep8
