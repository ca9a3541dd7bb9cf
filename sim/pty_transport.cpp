#include "sim/pty_transport.h"

#include <fcntl.h>
#include <poll.h>
#include <sys/stat.h>
#include <termios.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdlib>
#include <cstring>

#include "sim/bus_reply.h"
#include "sim/peer_line.h"

namespace zep8::sim {
namespace {

using Clock = std::chrono::steady_clock;

// A frame never needs more; what piles up beyond it without a terminator is noise.
constexpr std::size_t kMaxPending = 512;
// While no program has the slave open, the master only reports a hang-up;
// look again this often.
constexpr std::chrono::milliseconds kHangUpRetry{5};
// ModBUS-RTU frames end with a pause of 3.5 characters; a pty adds scheduling
// jitter, so never wait less than this.
constexpr std::chrono::microseconds kMinRtuPause{5000};

std::string SystemError(const char* what) {
    return std::string(what) + ": " + std::strerror(errno);
}

bool MakeRaw(int fd) {
    termios t{};
    if (tcgetattr(fd, &t) != 0) return false;
    cfmakeraw(&t);
    return tcsetattr(fd, TCSANOW, &t) == 0;
}

}  // namespace

PtyTransport::PtyTransport(VirtualModule& module) : PtyTransport(std::vector{&module}) {}

PtyTransport::PtyTransport(std::vector<VirtualModule*> modules)
    : module_(*modules.at(0)), modules_(std::move(modules)) {}

PtyTransport::~PtyTransport() {
    close();
}

bool PtyTransport::open(std::string& error) {
    if (master_ >= 0) return true;
    const int fd = posix_openpt(O_RDWR | O_NOCTTY | O_CLOEXEC | O_NONBLOCK);
    if (fd < 0) {
        error = SystemError("posix_openpt");
        return false;
    }
    char name[128];
    if (grantpt(fd) != 0 || unlockpt(fd) != 0 || ptsname_r(fd, name, sizeof name) != 0) {
        error = SystemError("pseudo-terminal set-up");
        ::close(fd);
        return false;
    }
    // Termios requests on a master reach the slave: a slave left in cooked mode
    // would echo the replies back to the module. Whoever opens the slave later
    // sets its own mode over this one.
    MakeRaw(fd);
    SetPeerBaudRate(fd, module_.activeSettings().baud);
    master_ = fd;
    slavePath_ = name;
    return true;
}

bool PtyTransport::createLink(const std::string& linkPath, std::string& error) {
    if (master_ < 0) {
        error = "the pseudo-terminal is not open";
        return false;
    }
    struct stat st {};
    if (lstat(linkPath.c_str(), &st) == 0) {
        // Replace a stale link of an earlier run, never a real file.
        if (!S_ISLNK(st.st_mode) || unlink(linkPath.c_str()) != 0) {
            error = linkPath + " exists and is not a symbolic link";
            return false;
        }
    }
    if (symlink(slavePath_.c_str(), linkPath.c_str()) != 0) {
        error = SystemError(("symlink " + linkPath).c_str());
        return false;
    }
    linkPath_ = linkPath;
    return true;
}

bool PtyTransport::start(std::string& error) {
    if (running()) return true;
    if (!open(error)) return false;
    stop_.reset();
    thread_ = std::thread([this] { run(); });
    return true;
}

void PtyTransport::stop() {
    if (!thread_.joinable()) return;
    stop_.set();
    thread_.join();
}

void PtyTransport::close() {
    stop();
    if (!linkPath_.empty()) {
        char target[256];
        const ssize_t n = readlink(linkPath_.c_str(), target, sizeof target - 1);
        if (n >= 0 && std::string_view(target, static_cast<std::size_t>(n)) == slavePath_) {
            unlink(linkPath_.c_str());
        }
        linkPath_.clear();
    }
    if (master_ >= 0) {
        ::close(master_);
        master_ = -1;
    }
}

void PtyTransport::run() {
    std::string pending;
    Clock::time_point firstByte{};
    Clock::time_point lastByte{};
    bool hungUp = false;
    char chunk[256];

    while (true) {
        const bool silenceFraming = module_.framing() == VirtualModule::Framing::Silence;
        std::chrono::milliseconds timeout = Event::kInfinite;
        Clock::time_point rtuDeadline{};
        if (hungUp) {
            timeout = kHangUpRetry;
        } else if (silenceFraming && !pending.empty()) {
            const auto pause = std::max<std::chrono::nanoseconds>(
                module_.activeSettings().characterTime() * 7 / 2, kMinRtuPause);
            rtuDeadline = lastByte + pause;
            const auto left = rtuDeadline - Clock::now();
            timeout = std::chrono::ceil<std::chrono::milliseconds>(
                std::max<std::chrono::nanoseconds>(left, std::chrono::nanoseconds(0)));
        }
        const int woken = Event::waitAny({&stop_}, timeout, hungUp ? -1 : master_);
        if (woken == 0) return;

        if (woken == Event::kTimedOut) {
            if (silenceFraming && !pending.empty() && Clock::now() >= rtuDeadline) {
                const std::string frame = std::move(pending);
                pending.clear();
                respond(frame, firstByte);
            }
            if (!hungUp) continue;
        }

        const ssize_t n = read(master_, chunk, sizeof chunk);
        if (n < 0 && (errno == EAGAIN || errno == EINTR)) {
            hungUp = false;
            continue;
        }
        if (n <= 0) {
            // EIO: nobody has the slave open; what was half received is lost.
            hungUp = true;
            pending.clear();
            continue;
        }
        hungUp = false;
        if (echo_) writeAll(std::string_view(chunk, static_cast<std::size_t>(n)));
        const Clock::time_point now = Clock::now();
        if (pending.empty()) firstByte = now;
        lastByte = now;
        pending.append(chunk, static_cast<std::size_t>(n));

        if (!silenceFraming) {
            std::size_t end;
            while ((end = pending.find('\r')) != std::string::npos) {
                const std::string frame = pending.substr(0, end + 1);
                pending.erase(0, end + 1);
                respond(frame, firstByte);
                firstByte = Clock::now();
            }
        }
        if (pending.size() > kMaxPending) pending.erase(0, pending.size() - kMaxPending / 2);
    }
}

std::optional<Reply> PtyTransport::replyOnTheLine(std::string_view frame) {
    const std::optional<int> baud = lineCheck_ ? PeerBaudRate(master_) : std::nullopt;
    bool misheard = false;
    std::optional<Reply> reply = BusReply(
        modules_, frame,
        [&](const VirtualModule& m) { return !baud || *baud == m.activeSettings().baud; },
        misheard);
    if (misheard) ++mismatchedFrames_;
    return reply;
}

void PtyTransport::respond(std::string_view frame, Clock::time_point firstByte) {
    const std::optional<Reply> reply = replyOnTheLine(frame);
    if (!reply) return;
    if (!waitUntil(firstByte + reply->delay)) return;
    writeAll(reply->bytes);
}

bool PtyTransport::waitUntil(Clock::time_point deadline) {
    // The event wait has millisecond steps; the last stretch is slept exactly.
    constexpr auto kExactSleep = std::chrono::milliseconds(2);
    while (true) {
        const auto left = deadline - Clock::now();
        if (left <= kExactSleep) break;
        const auto coarse = std::chrono::floor<std::chrono::milliseconds>(left - kExactSleep / 2);
        if (stop_.wait(coarse)) return false;
    }
    std::this_thread::sleep_until(deadline);
    return !stop_.isSet();
}

void PtyTransport::writeAll(std::string_view bytes) {
    while (!bytes.empty()) {
        const ssize_t n = write(master_, bytes.data(), bytes.size());
        if (n > 0) {
            bytes.remove_prefix(static_cast<std::size_t>(n));
            continue;
        }
        if (n < 0 && errno == EINTR) continue;
        if (n < 0 && errno == EAGAIN) {
            // The program does not read; give it a moment, then drop the rest.
            pollfd p{master_, POLLOUT, 0};
            if (poll(&p, 1, 100) > 0 && (p.revents & POLLOUT)) continue;
        }
        return;
    }
}

}  // namespace zep8::sim
