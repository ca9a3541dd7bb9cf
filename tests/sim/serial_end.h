#pragma once

#include <fcntl.h>
#include <poll.h>
#include <sys/ioctl.h>
#include <termios.h>
#include <unistd.h>

#include <chrono>
#include <string>
#include <string_view>

namespace zep8::sim::test {

// The program's end of the line: the slave opened as a termios serial port.
class SerialEnd {
  public:
    explicit SerialEnd(const std::string& path, speed_t speed = B9600) {
        fd_ = ::open(path.c_str(), O_RDWR | O_NOCTTY | O_CLOEXEC);
        if (fd_ < 0) return;
        ioctl(fd_, TIOCEXCL);
        termios t{};
        tcgetattr(fd_, &t);
        cfmakeraw(&t);
        if (speed != B0) cfsetspeed(&t, speed);  // B0: keep the speed the port has
        tcsetattr(fd_, TCSANOW, &t);
    }
    ~SerialEnd() {
        if (fd_ >= 0) ::close(fd_);
    }
    bool isOpen() const { return fd_ >= 0; }

    // Sends the bytes and collects the answer up to its terminator; what came
    // until the time-out otherwise.
    std::string exchange(std::string_view request, char terminator = '\r',
                         std::chrono::milliseconds timeout = std::chrono::milliseconds(1000)) {
        if (::write(fd_, request.data(), request.size()) != static_cast<ssize_t>(request.size())) {
            return {};
        }
        return receive(terminator, timeout);
    }

    std::string receive(char terminator, std::chrono::milliseconds timeout,
                        std::size_t length = 0) {
        std::string received;
        const auto deadline = std::chrono::steady_clock::now() + timeout;
        while (std::chrono::steady_clock::now() < deadline) {
            pollfd p{fd_, POLLIN, 0};
            const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
                deadline - std::chrono::steady_clock::now());
            if (poll(&p, 1, static_cast<int>(left.count()) + 1) <= 0) break;
            char chunk[64];
            const ssize_t n = ::read(fd_, chunk, sizeof chunk);
            if (n <= 0) break;
            received.append(chunk, static_cast<std::size_t>(n));
            if (length ? received.size() >= length : received.back() == terminator) break;
        }
        return received;
    }

  private:
    int fd_ = -1;
};

}  // namespace zep8::sim::test
