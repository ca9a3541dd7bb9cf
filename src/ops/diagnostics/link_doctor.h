#pragma once

// The connection doctor: the port, the line, the speeds, formats and
// addresses tried until the module answers, and what to change. Used by
// zep8 --doctor and by the doctor dialog through doctor_session.

#include <atomic>
#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "link/line/line_port.h"

namespace zep8 {

class BusSurvey;
class NetRS485prg;

// Receives the doctor's report line by line, on the doctor's thread.
class DoctorObserver {
  public:
    virtual ~DoctorObserver() = default;
    virtual void DoctorLine(std::string_view line) = 0;
};

// Where the doctor starts: the port to examine and the program's settings.
struct DoctorSetup {
    PortSettings settings;  // name is the port to examine
    int directionMode = 0;  // 0 semi-automatic converter (RTS keyed), 1 automatic
    bool echo = false;
};

// What works on the line, once a module has answered.
struct DoctorFindings {
    bool answered = false;  // some module answered in the own protocol
    bool zep8 = false;      // ... and it is a ZEP8
    PortSettings settings;
    int directionMode = 0;
    bool echo = false;
    std::string device, version;
    int foreignProtocol = 0;  // the protocol the module was found on and brought back from
};

// The module's "dev" names a ZEP8 ("ZEP-8", "ЗЕП8", any letter case).
bool IsZep8(std::string deviceName);

DoctorSetup DoctorSetupFrom(const NetRS485prg& program, int directionMode);
// Puts the found speed, format, address, port and echo setting into the
// program's settings (the converter is the port's, not a stored setting).
void ApplyDoctorFindings(const DoctorFindings& findings, NetRS485prg& program);

// The connection doctor: examines one port step by step (opening, a quiet
// line, the program's settings with both converter kinds, every speed and
// both address lengths, the foreign protocols, every base address at every
// speed when no module answers 255, an echoing adapter, the round trip) and
// ends with a verdict. Each try waits only as long as its frames
// need at its speed and is made once.
class LinkDoctor {
  public:
    using PortFactory = std::function<std::unique_ptr<LinePort>()>;
    LinkDoctor(PortFactory makePort, DoctorObserver& observer);
    ~LinkDoctor();
    LinkDoctor(const LinkDoctor&) = delete;
    LinkDoctor& operator=(const LinkDoctor&) = delete;

    // The whole run; the exit status bit of the verdict, 0 when a ZEP8 was found.
    std::uint32_t Run(const DoctorSetup& setup);
    // From any thread: the run stops at its next step.
    void Abort();
    const DoctorFindings& findings() const { return findings_; }
    // Folders the port list is read from (tests give their own).
    void SetPortFolders(std::string sysClassTty, std::string byIdDirectory);
    // Where the USB-serial adapters' ports are (tests give their own).
    void SetUsbSerialFolder(std::string folder) { usbSerialDevices_ = std::move(folder); }
    // The speeds of the address sweep (tests give a few); empty: every speed.
    void SetSweepSpeeds(std::vector<unsigned> speeds) { sweepSpeeds_ = std::move(speeds); }

    static constexpr std::string_view kAbortedText = "Диагностика прервана.";

  private:
    enum class Outcome { Answer, ErrorReply, Echo, Garbage, Silence, Aborted };
    struct Reply {
        Outcome outcome = Outcome::Silence;
        std::vector<std::uint8_t> data;
        std::string received;
    };
    struct Line {
        PortSettings settings;
        int directionMode = 0;
        bool echo = false;
        int protocol = 0;
    };

    void Say(const std::string& line);
    bool Aborted() const { return aborted_.load(); }
    void ListPorts();
    bool OpenFirst();
    void CheckQuiet();
    bool UseLine(const Line& line);
    int ProbeWait(const Line& line) const;
    Reply Ask(std::string_view name, int address, std::span<const std::uint8_t> data = {});
    Reply AskForeign(int protocol);
    // The module's "dev" at `address` (255: any module on 8-bit addresses);
    // notes an echoing adapter and asks again without the echo.
    Reply Probe(Line line, int address);
    // One try on `line`, told as one line of the report.
    Reply Try(Line line, const std::function<Reply()>& ask, const std::string& what);
    bool TryProgramSettings();
    bool SweepSpeeds();
    bool SweepForeign();
    // The bus survey's sweep of every base address, for a module that does
    // not answer 255; the doctor's port is closed meanwhile.
    bool SweepAddresses();
    std::vector<unsigned> SweepOrder() const;
    bool Identify(int address);
    // A USB adapter's latency timer, after the port opened asking for low
    // latency; what a timer left above 1 ms costs at the speed of `s`.
    void ReportLatencyTimer();
    void AdviseLatency(const PortSettings& s);
    // The request "dev" and a reply of `replyData` bytes on the wire.
    static double ExchangeWireMs(const PortSettings& s, std::size_t replyData);
    void ChooseConverter();
    void MeasureRoundTrip();
    std::uint32_t Verdict();
    std::string Describe(const Line& line) const;
    // A parameter's value as the module gives it, on the line in use.
    std::optional<std::string> ReadText(std::string_view name, int address);

    PortFactory makePort_;
    DoctorObserver& observer_;
    std::string sysClassTty_ = "/sys/class/tty";
    std::string byIdDirectory_ = "/dev/serial/by-id";
    std::string usbSerialDevices_ = "/sys/bus/usb-serial/devices";
    std::string latencyFile_;  // the adapter's latency timer, when it has one
    int latencyMs_ = 0;
    std::mutex portMutex_;  // Abort reaches the port from another thread
    std::unique_ptr<LinePort> port_;
    BusSurvey* survey_ = nullptr;  // the address sweep under way, and its port
    LinePort* surveyPort_ = nullptr;
    std::vector<unsigned> sweepSpeeds_;
    std::atomic<bool> aborted_{false};
    DoctorSetup setup_;
    Line line_;
    bool lineOpen_ = false;
    bool echoSeen_ = false;
    bool garbageSeen_ = false;
    DoctorFindings findings_;
};

}  // namespace zep8
