#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace zep8 {

// A program started without waiting for it (a document viewer). It is
// collected when it has ended, never waited for; one still running when the
// program ends is left to the system.
class ChildProcess {
  public:
    // Starts `argv[0]`, found through PATH; nothing when it cannot start.
    static std::optional<ChildProcess> Start(const std::vector<std::string>& argv);

    ChildProcess(ChildProcess&& other) noexcept;
    ChildProcess& operator=(ChildProcess&& other) noexcept;
    ChildProcess(const ChildProcess&) = delete;
    ChildProcess& operator=(const ChildProcess&) = delete;
    ~ChildProcess();

    // Readable once the program has ended; -1 where the system has no such
    // descriptor (then ask Ended from time to time).
    int endFd() const { return fd_; }
    // Its exit status (127 when a signal ended it) once it has ended, and
    // then collected; nothing while it runs.
    std::optional<int> Ended();

  private:
    ChildProcess(std::intptr_t pid, int fd) : pid_(pid), fd_(fd) {}

    std::intptr_t pid_ = -1;  // the process id, or its HANDLE on Windows
    int fd_ = -1;
    std::optional<int> status_;
};

}  // namespace zep8
