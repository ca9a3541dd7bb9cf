// A calling program as a plant's own software would be one: it starts
// zep8.exe with /exitevent:NAME, sets the event NAME (lower case) while the
// job runs, and prints the exit code zep8.exe ended with.
//   exit_event_caller ZEP8.EXE EVENTNAME [ARGUMENTS...]
#include <windows.h>

#include <cstdio>
#include <string>

namespace {

std::wstring Quoted(const wchar_t* argument) {
    return L"\"" + std::wstring(argument) + L"\"";
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
    if (argc < 3) {
        std::fprintf(stderr, "usage: exit_event_caller ZEP8.EXE EVENTNAME [ARGUMENTS...]\n");
        return 2;
    }
    // The caller may make the event first; zep8.exe opens the same one.
    HANDLE event = CreateEventW(nullptr, TRUE, FALSE, argv[2]);
    std::wstring line = Quoted(argv[1]);
    for (int i = 3; i < argc; ++i) line += L" " + Quoted(argv[i]);
    STARTUPINFOW startup{};
    startup.cb = sizeof startup;
    PROCESS_INFORMATION process{};
    if (!event || !CreateProcessW(nullptr, line.data(), nullptr, nullptr, FALSE, 0, nullptr,
                                  nullptr, &startup, &process)) {
        std::fprintf(stderr, "exit_event_caller: cannot start (error %lu)\n", GetLastError());
        return 3;
    }
    // Set once, maybe before zep8.exe has opened it: the stop must still count.
    Sleep(500);
    SetEvent(event);
    // 20 s at most, stopped by zep8.exe's end only: one still running then is
    // reported as 999.
    const DWORD waited = WaitForSingleObject(process.hProcess, 20000);
    DWORD code = 0;
    GetExitCodeProcess(process.hProcess, &code);
    std::printf("%lu\n", waited == WAIT_OBJECT_0 ? code : 999UL);
    return 0;
}
