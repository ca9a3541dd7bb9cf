#include "platform/child_process.h"

#include <spawn.h>
#include <sys/syscall.h>
#include <sys/wait.h>
#include <unistd.h>

#include <utility>

extern char** environ;

namespace zep8 {

std::optional<ChildProcess> ChildProcess::Start(const std::vector<std::string>& argv) {
    if (argv.empty()) return std::nullopt;
    std::vector<char*> args;
    for (const std::string& a : argv) args.push_back(const_cast<char*>(a.c_str()));
    args.push_back(nullptr);
    pid_t pid = -1;
    if (posix_spawnp(&pid, args[0], nullptr, nullptr, args.data(), environ) != 0) {
        return std::nullopt;
    }
    // The descriptor lets an event loop learn of the end without a thread of its own.
    const int fd = static_cast<int>(syscall(SYS_pidfd_open, pid, 0));
    return ChildProcess(pid, fd < 0 ? -1 : fd);
}

ChildProcess::ChildProcess(ChildProcess&& other) noexcept
    : pid_(std::exchange(other.pid_, -1)),
      fd_(std::exchange(other.fd_, -1)),
      status_(other.status_) {}

ChildProcess& ChildProcess::operator=(ChildProcess&& other) noexcept {
    if (this != &other) {
        if (fd_ >= 0) close(fd_);
        pid_ = std::exchange(other.pid_, -1);
        fd_ = std::exchange(other.fd_, -1);
        status_ = other.status_;
    }
    return *this;
}

ChildProcess::~ChildProcess() {
    if (fd_ >= 0) close(fd_);
}

std::optional<int> ChildProcess::Ended() {
    if (status_ || pid_ < 0) return status_;
    int status = 0;
    const pid_t ended = waitpid(static_cast<pid_t>(pid_), &status, WNOHANG);
    if (ended == 0) return std::nullopt;
    if (ended < 0) {
        status_ = 0;  // collected elsewhere: nothing to learn of it, nothing to complain of
    } else {
        status_ = WIFEXITED(status) ? WEXITSTATUS(status) : 127;
    }
    return status_;
}

}  // namespace zep8
