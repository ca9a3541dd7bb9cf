#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "link/remote/tls_settings.h"

namespace zep8 {

// What the command line asked for. Zero and empty mean "not given".
struct OptionRecord {
    std::uint16_t optionFlags = 0;   // OPT_* bits
    std::uint32_t actionFlags = 0;   // ACTION_* bits
    std::uint8_t geometryFlags = 0;  // GEOMETRY_* bits
    std::uint8_t portNumber = 0;     // n of "COMn"
    std::uint32_t baudRate = 0;
    std::uint8_t parity = 0;  // PARITY_* codes
    std::string address;      // at most kMaxAddressLength characters
    std::uint8_t dataBits = 0;
    std::string stopBits;  // at most kMaxStopBitsLength characters
    std::uint8_t addressLength = 0;
    std::uint8_t converterMode = 0;  // CONVERTER_* codes
    std::int32_t x = 0;
    std::int32_t y = 0;
    std::int32_t width = 0;
    std::int32_t height = 0;

    // Set after parsing: width and height were both given as 0.
    bool startMinimised = false;

    std::string fileArgument;   // the last argument that is not an option
    std::string errorLogPath;   // "elog", case kept
    std::string exitEventName;  // "exitevent", lower case

    // Long options of this platform.
    std::string portPath;  // --port=PATH, case kept
    // --tls-ca=, --tls-fingerprint=, --tls-cert=, --tls-key=: how to trust the
    // server of an encrypted --port=, kept for it in the settings.
    TlsSettings tls;
    bool tlsGiven() const { return tls != TlsSettings{}; }
    bool simulate = false;
    bool simulateFactory = false;  // --simulate=factory: the module as it leaves the factory
    bool headless = false;         // --headless: no windows even with a display
    bool doctor = false;           // --doctor: the connection doctor in the terminal
    bool trace = false;            // --trace: every exchange on standard error
    bool survey = false;           // --survey: list the modules on the bus
    bool allSpeeds = false;        // --all-speeds: the survey tries every speed
    bool help = false;
    bool version = false;
    std::string dump;  // --dump FILE
    // --report=FILE: the service report of the module(s) as an HTML page.
    bool report = false;
    std::string reportPath;
    // --addresses=40,48,56: the modules a job goes to one after the other;
    // --addresses=survey: every module a survey finds.
    std::vector<int> addresses;
    bool addressSurvey = false;
    std::string csvPath;  // --csv=FILE: the survey's list, or the batch's results, as a table
    bool manyModules() const { return addressSurvey || !addresses.empty(); }
    // The first argument starting with "--" that is none of the above; the
    // run ends before anything opens (UnknownOptionText, kUsageErrorCode).
    std::string unknownOption;
    // A known option given wrongly (a bad address list, or one with /addr:):
    // the whole line for standard error; the run ends like an unknown option.
    std::string usageError;

    bool automation() const;
    bool hasAction(std::uint32_t bits) const { return (actionFlags & bits) != 0; }
    bool hasOption(std::uint16_t bits) const { return (optionFlags & bits) != 0; }
    // A port was named in any of the ways the command line allows.
    bool portGiven() const { return portNumber != 0 || !portPath.empty() || simulate; }
    // The port --port=PATH or /port:N names ("COMn"); empty when neither does.
    std::string portName() const {
        if (!portPath.empty()) return portPath;
        return portNumber != 0 ? "COM" + std::to_string(portNumber) : std::string();
    }
};

enum GeometryFlag : std::uint8_t {
    GEOMETRY_X = 0x01,
    GEOMETRY_Y = 0x02,
    GEOMETRY_WIDTH = 0x04,
    GEOMETRY_HEIGHT = 0x08,
};

enum ParityCode : std::uint8_t { PARITY_EVEN = 1, PARITY_ODD = 2, PARITY_NONE = 3 };

enum ConverterCode : std::uint8_t { CONVERTER_AUTO = 1, CONVERTER_OFF = 2, CONVERTER_ON = 3 };

inline constexpr std::size_t kMaxAddressLength = 5;
inline constexpr std::size_t kMaxStopBitsLength = 4;

// How the main window starts.
enum class WindowStart { Maximised, Minimised, Placed };
WindowStart StartOfWindow(const OptionRecord& options);

// Reads the arguments (without the program name). An argument starting with
// "/" is options only when its first name is an option's, otherwise it is an
// absolute file path; "--port=PATH" names a port like "port" does, and
// "--simulate" (or "--simulate=factory") counts as a port given; after "--"
// every argument is a file. A "--" option it does not know is kept in
// unknownOption. Pure: it touches no file and creates no event;
// CreateErrorLog and the exit event do that afterwards.
OptionRecord ParseCommandLine(const std::vector<std::string>& args);

// The exit code of a command line the program does not understand: the
// usual code of a usage error, apart from the 200s a caller reads as outcomes.
inline constexpr int kUsageErrorCode = 2;
// The one line on standard error for an unknown "--" option.
std::string UnknownOptionText(std::string_view option);
// The line a command line is refused with (unknown option or usage error);
// empty when the run may go on.
std::string RefusalText(const OptionRecord& options);

// The options' lines of --help, from the same table the parser reads.
std::string OptionHelp();

// Creates the error log empty, truncating an old one. False when it cannot
// be created; the caller decides what that means for the run.
bool CreateErrorLog(const std::string& path);

}  // namespace zep8
