#pragma once

// A line that damages what it carries: it sits between the program's serial
// port (a pseudo-terminal of its own) and the virtual module's, paces every
// character at the line's speed and flips bits at a set rate, with bursts
// now and then. Its random numbers come from a seed, one stream per
// direction, so that a run repeats.
#include <atomic>
#include <chrono>
#include <cstdint>
#include <deque>
#include <mutex>
#include <random>
#include <string>
#include <thread>

namespace zep8::bench {

struct Noise {
    double bitErrorRate = 0;  // flipped bits per bit carried
    double burstRate = 0;     // bursts started per bit carried
    int burstBits = 24;       // a burst's bits, each flipped with even odds
    std::uint64_t seed = 1;
};

class NoisyRelay {
  public:
    NoisyRelay(std::string modulePath, int baud);
    ~NoisyRelay();
    NoisyRelay(const NoisyRelay&) = delete;
    NoisyRelay& operator=(const NoisyRelay&) = delete;

    // Opens the module's port and a pseudo-terminal for the program; false
    // with a reason when the system refuses.
    bool start(std::string& error);
    void stop();
    const std::string& programPath() const { return programPath_; }

    // Takes effect for the characters that come after it.
    void setNoise(const Noise& noise);
    std::uint64_t flippedBits() const { return flipped_.load(); }

  private:
    using Clock = std::chrono::steady_clock;
    struct Direction {
        int from = -1, to = -1;
        std::deque<std::pair<Clock::time_point, char>> queue;
        Clock::time_point lineFree{};
        std::mt19937_64 random;
        std::uint64_t nextFlip = 0;   // bits until the next single flip
        std::uint64_t nextBurst = 0;  // bits until the next burst
        int burstLeft = 0;
    };
    void run();
    void take(Direction& d, const Noise& noise);
    char damage(Direction& d, const Noise& noise, char c);
    void deliver(Direction& d);
    static void arm(Direction& d, const Noise& noise, std::uint64_t seed);

    std::string modulePath_;
    int baud_;
    std::chrono::nanoseconds characterTime_;
    int moduleFd_ = -1, programMaster_ = -1;
    std::string programPath_;
    std::mutex noiseMutex_;
    Noise noise_;
    bool rearm_ = false;  // under noiseMutex_
    std::atomic<bool> stop_{false};
    std::atomic<std::uint64_t> flipped_{0};
    Direction toModule_, toProgram_;
    std::thread thread_;
};

}  // namespace zep8::bench
