#pragma once

// ser2net on the loopback in front of a pseudo-terminal, for the tests of
// remote lines; Available() is false where it is not installed.
#include <netinet/in.h>
#include <signal.h>
#include <sys/socket.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <string>
#include <thread>

namespace zep8::testing {

class Ser2net {
  public:
    static constexpr const char* kProgram = "/usr/sbin/ser2net";
    static bool Available() { return access(kProgram, X_OK) == 0; }

    ~Ser2net() { Stop(); }

    // "raw" or "rfc2217" in front of `pty` at `line` ("38400n81"); the URL of
    // the port it listens on. `ssl`: the TLS layer's options ("key=K,cert=C"),
    // and `options` more connection options ("authdir: D"), for an encrypted line.
    // `port`: the one to listen on (a server started again); 0, a free one.
    std::string Start(const std::string& pty, const std::string& mode, const std::string& line,
                      const std::string& ssl = "", const std::string& options = "", int port = 0) {
        Stop();
        port_ = port ? port : BindLoopback(0);
        config_ = (std::filesystem::temp_directory_path() /
                   ("zep8-ser2net-" + std::to_string(getpid()) + ".yaml"))
                      .string();
        std::ofstream(config_) << "connection: &con1\n  accepter: "
                               << (mode == "raw" ? "" : "telnet(rfc2217),")
                               << (ssl.empty() ? "" : "ssl(" + ssl + "),") << "tcp,127.0.0.1,"
                               << port_ << "\n  connector: serialdev," << pty << "," << line
                               << ",local\n  options:\n    chardelay: false\n"
                               << (options.empty() ? "" : "    " + options + "\n");
        pid_ = fork();
        if (pid_ == 0) {
            if (!std::freopen("/dev/null", "w", stderr)) _exit(127);
            execl(kProgram, kProgram, "-n", "-d", "-c", config_.c_str(), nullptr);
            _exit(127);
        }
        // Listening once the port cannot be bound any more; a loaded machine
        // (the sanitizer runs go two at a time) may take seconds to start it.
        // A port used before may not be bound for its closed connections'
        // sake: there, listening is when a connection is taken.
        for (int i = 0; i < 1000 && (port ? !Accepts(port_) : BindLoopback(port_) == port_); ++i) {
            std::this_thread::sleep_for(std::chrono::milliseconds(10));
        }
        return (mode == "raw" ? "tcp" : "rfc2217") + std::string(ssl.empty() ? "" : "+tls") +
               "://127.0.0.1:" + std::to_string(port_);
    }
    void Stop() {
        if (pid_ <= 0) return;
        kill(pid_, SIGKILL);
        waitpid(pid_, nullptr, 0);
        pid_ = -1;
        std::filesystem::remove(config_);
    }
    int port() const { return port_; }

    static bool Accepts(int port) {
        const int fd = socket(AF_INET, SOCK_STREAM, 0);
        sockaddr_in a{};
        a.sin_family = AF_INET;
        a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        a.sin_port = htons(static_cast<uint16_t>(port));
        const bool accepted = connect(fd, reinterpret_cast<sockaddr*>(&a), sizeof a) == 0;
        close(fd);
        return accepted;
    }

    // 0: a free loopback port; else `port` when still free, -1 when taken.
    static int BindLoopback(int port) {
        const int fd = socket(AF_INET, SOCK_STREAM, 0);
        sockaddr_in a{};
        a.sin_family = AF_INET;
        a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        a.sin_port = htons(static_cast<uint16_t>(port));
        socklen_t length = sizeof a;
        int found = -1;
        if (bind(fd, reinterpret_cast<sockaddr*>(&a), sizeof a) == 0 &&
            getsockname(fd, reinterpret_cast<sockaddr*>(&a), &length) == 0) {
            found = ntohs(a.sin_port);
        }
        close(fd);
        return found;
    }

  private:
    pid_t pid_ = -1;
    int port_ = 0;
    std::string config_;
};

}  // namespace zep8::testing
