#pragma once

// The survey of a line for modules at every address (and speed): used by
// the survey dialog, zep8 --survey and the doctor.

#include <atomic>
#include <chrono>
#include <functional>
#include <string>
#include <thread>
#include <vector>

#include "link/line/line_port.h"

namespace zep8 {

class DeviceIO;
class LinePort;
class NetRS485prg;

// A module that answered the survey.
struct SurveyFind {
    int address = 0;
    unsigned baudRate = 0;
    std::string format;   // the character format it answered in, "8N1"
    std::string device;   // its "dev"
    std::string version;  // its "ver"
    std::chrono::system_clock::time_point answeredAt;
};

// Told on the survey's thread.
class SurveyObserver {
  public:
    virtual ~SurveyObserver() = default;
    // Before each request: `done` of `total` addresses asked so far.
    virtual void SurveyProgress(int done, int total, unsigned baudRate) = 0;
    virtual void SurveyFound(const SurveyFind& find) = 0;
};

struct SurveyResult {
    std::vector<SurveyFind> finds;
    bool aborted = false;
    std::string failure;  // the port could not be opened: why
    int asked = 0;        // requests sent
    std::chrono::milliseconds took{0};
    std::chrono::milliseconds lowerBound{0};  // requests times their reply wait
};

// Asks "dev" once at every base address of the address length in use
// (multiples of 8) with the shortest safe reply wait for the speed, at the
// program's speed or at every speed, and reads "ver" of each module that
// answers. Runs on the caller's thread over the program's link.
class BusSurvey {
  public:
    BusSurvey(DeviceIO& io, SurveyObserver& observer) : io_(io), observer_(observer) {}

    SurveyResult Run(bool allSpeeds);
    // At these speeds, in this order; the port is left at the program's.
    SurveyResult RunAt(const std::vector<unsigned>& speeds);
    // From any thread: the survey stops before its next request.
    void Abort() { aborted_ = true; }

    // A finished survey can run again.
    void Rearm() { aborted_ = false; }

    static std::vector<int> BaseAddresses(int addressLength);
    // The reply wait of one request at `baudRate` on `port`.
    static int ReplyWait(const PortSettings& settings, int directionMode, unsigned baudRate);
    static std::vector<unsigned> Speeds();

  private:
    bool Survey(unsigned baudRate, SurveyResult& result, int done, int total);

    DeviceIO& io_;
    SurveyObserver& observer_;
    std::atomic<bool> aborted_{false};
};

// A survey on a thread of its own, for a window that must stay alive; the
// observer and `finished` are called on that thread.
class SurveyThread {
  public:
    SurveyThread(DeviceIO& io, SurveyObserver& observer) : survey_(io, observer) {}
    ~SurveyThread() { Stop(); }
    SurveyThread(const SurveyThread&) = delete;
    SurveyThread& operator=(const SurveyThread&) = delete;

    // Starts a survey unless one runs.
    void Start(bool allSpeeds, std::function<void(const SurveyResult&)> finished);
    void Abort() { survey_.Abort(); }
    // Aborts a survey under way and waits for its thread.
    void Stop();
    bool Running() const { return running_; }

  private:
    BusSurvey survey_;
    std::thread thread_;
    std::atomic<bool> running_{false};
};

// The found module's address and speed become the program's.
void UseSurveyFind(const SurveyFind& find, NetRS485prg& program);

// "адрес 40, 38400 бит/с: ZEP8, версия 7.12"
std::string SurveyFindText(const SurveyFind& find);

}  // namespace zep8
