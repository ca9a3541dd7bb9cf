#include "bench/noisy_relay.h"

#include <fcntl.h>
#include <poll.h>
#include <termios.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>

#include "sim/peer_line.h"

namespace zep8::bench {
namespace {

constexpr int kCharacterBits = 10;  // start, eight data bits, stop
constexpr int kDataBits = 8;        // what the noise can reach

bool MakeRaw(int fd, int baud) {
    termios t{};
    if (tcgetattr(fd, &t) != 0) return false;
    cfmakeraw(&t);
    if (tcsetattr(fd, TCSANOW, &t) != 0) return false;
    return sim::SetPeerBaudRate(fd, baud);
}

std::uint64_t Gap(std::mt19937_64& random, double rate) {
    if (rate <= 0) return UINT64_MAX;
    return std::geometric_distribution<std::uint64_t>(rate)(random);
}

}  // namespace

NoisyRelay::NoisyRelay(std::string modulePath, int baud)
    : modulePath_(std::move(modulePath)),
      baud_(baud),
      characterTime_(std::chrono::nanoseconds(1'000'000'000LL * kCharacterBits / baud)) {}

NoisyRelay::~NoisyRelay() {
    stop();
    if (moduleFd_ >= 0) ::close(moduleFd_);
    if (programMaster_ >= 0) ::close(programMaster_);
}

bool NoisyRelay::start(std::string& error) {
    moduleFd_ = ::open(modulePath_.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
    if (moduleFd_ < 0 || !MakeRaw(moduleFd_, baud_)) {
        error = modulePath_ + ": " + std::strerror(errno);
        return false;
    }
    programMaster_ = posix_openpt(O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
    char name[128];
    if (programMaster_ < 0 || grantpt(programMaster_) != 0 || unlockpt(programMaster_) != 0 ||
        ptsname_r(programMaster_, name, sizeof name) != 0 || !MakeRaw(programMaster_, baud_)) {
        error = std::string("pseudo-terminal: ") + std::strerror(errno);
        return false;
    }
    programPath_ = name;
    toModule_.from = programMaster_;
    toModule_.to = moduleFd_;
    toProgram_.from = moduleFd_;
    toProgram_.to = programMaster_;
    arm(toModule_, noise_, noise_.seed);
    arm(toProgram_, noise_, noise_.seed + 1);
    thread_ = std::thread([this] { run(); });
    return true;
}

void NoisyRelay::stop() {
    stop_ = true;
    if (thread_.joinable()) thread_.join();
}

void NoisyRelay::setNoise(const Noise& noise) {
    std::lock_guard lock(noiseMutex_);
    noise_ = noise;
    rearm_ = true;
}

void NoisyRelay::arm(Direction& d, const Noise& noise, std::uint64_t seed) {
    d.random.seed(seed);
    d.nextFlip = Gap(d.random, noise.bitErrorRate);
    d.nextBurst = Gap(d.random, noise.burstRate);
    d.burstLeft = 0;
}

char NoisyRelay::damage(Direction& d, const Noise& noise, char c) {
    auto byte = static_cast<std::uint8_t>(c);
    for (int bit = 0; bit < kDataBits; ++bit) {
        bool flip = false;
        if (d.nextFlip == 0) {
            flip = true;
            d.nextFlip = Gap(d.random, noise.bitErrorRate);
        } else if (d.nextFlip != UINT64_MAX) {
            --d.nextFlip;
        }
        if (d.burstLeft == 0 && d.nextBurst == 0) {
            d.burstLeft = noise.burstBits;
            d.nextBurst = Gap(d.random, noise.burstRate);
        } else if (d.burstLeft == 0 && d.nextBurst != UINT64_MAX) {
            --d.nextBurst;
        }
        if (d.burstLeft > 0) {
            --d.burstLeft;
            flip = flip != ((d.random() & 1) != 0);
        }
        if (flip) {
            byte = static_cast<std::uint8_t>(byte ^ (1u << bit));
            ++flipped_;
        }
    }
    return static_cast<char>(byte);
}

void NoisyRelay::take(Direction& d, const Noise& noise) {
    char chunk[256];
    const ssize_t n = ::read(d.from, chunk, sizeof chunk);
    if (n <= 0) return;  // nothing, or the program has its port closed
    for (ssize_t i = 0; i < n; ++i) {
        // A character takes the wire after the one before it has passed.
        d.lineFree = std::max(d.lineFree, Clock::now()) + characterTime_;
        d.queue.emplace_back(d.lineFree, damage(d, noise, chunk[i]));
    }
}

void NoisyRelay::deliver(Direction& d) {
    std::string due;
    const auto now = Clock::now();
    while (!d.queue.empty() && d.queue.front().first <= now) {
        due += d.queue.front().second;
        d.queue.pop_front();
    }
    if (!due.empty() && ::write(d.to, due.data(), due.size()) < 0) {
        // The far end is not there (the program between two opens): lost.
    }
}

void NoisyRelay::run() {
    while (!stop_) {
        Noise noise;
        {
            std::lock_guard lock(noiseMutex_);
            noise = noise_;
            if (rearm_) {
                arm(toModule_, noise, noise.seed);
                arm(toProgram_, noise, noise.seed + 1);
                rearm_ = false;
            }
        }
        // Deadline: the next character due, and never more than 5 ms, so
        // that stop() is seen soon; stop() is the only way out.
        auto wait = std::chrono::nanoseconds(std::chrono::milliseconds(5));
        for (Direction* d : {&toModule_, &toProgram_}) {
            if (!d->queue.empty()) {
                wait = std::min(wait, std::max(std::chrono::nanoseconds(0),
                                               std::chrono::nanoseconds(d->queue.front().first -
                                                                        Clock::now())));
            }
        }
        pollfd fds[2] = {{programMaster_, POLLIN, 0}, {moduleFd_, POLLIN, 0}};
        const timespec timeout{0, static_cast<long>(wait.count())};
        const int ready = ppoll(fds, 2, &timeout, nullptr);
        if (ready > 0) {
            if (fds[0].revents & POLLIN) take(toModule_, noise);
            if (fds[1].revents & POLLIN) take(toProgram_, noise);
            // A closed slave only reports its hang-up: do not spin on it.
            if ((fds[0].revents & POLLHUP) && !(fds[0].revents & POLLIN)) {
                std::this_thread::sleep_for(std::chrono::milliseconds(1));
            }
        }
        deliver(toModule_);
        deliver(toProgram_);
    }
}

}  // namespace zep8::bench
