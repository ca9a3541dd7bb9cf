#pragma once

// The settings a line is opened with (port name, speed, character format,
// the module's address), and what every kind of line refuses of them.

#include <optional>
#include <string>

namespace zep8 {

// Results of opening a port.
enum OpenResult : int {
    OPEN_OK = 0,
    OPEN_CANNOT_OPEN = -1,
    OPEN_UNSUPPORTED = -2,  // settings unreadable, or parity, stop bits or speed not supported
    OPEN_BAD_BYTE_SIZE = -3,
    OPEN_SETTINGS_REFUSED = -4,
    OPEN_TIMEOUTS_REFUSED = -5,
};

// Parity schemes of the port.
enum ParityScheme : int {
    SCHEME_NONE_0 = 0,
    SCHEME_EVEN = 1,
    SCHEME_MARK = 2,
    SCHEME_NONE = 3,
    SCHEME_ODD = 4,
    SCHEME_SPACE = 5,
};

struct PortSettings {
    std::string name = "COM1";
    unsigned baudRate = 9600;
    int parityScheme = SCHEME_NONE;
    int stopBits = 1;
    int byteSize = 8;
    int addressLength = 8;  // bits of the module's address, 8 or 11
    int baseAddress = 16;
};

// Whether the port's characters carry a parity bit.
inline bool HasParity(const PortSettings& s) {
    return s.parityScheme != SCHEME_NONE && s.parityScheme != SCHEME_NONE_0;
}

// Why a port cannot take settings `s`: the OPEN_* result and the reason in
// the operator's words; nothing when it can. `checkSpeed`: the speed must be
// one a serial port knows (a serial device server takes any).
struct SettingsRefusal {
    int result;
    std::string reason;
};
std::optional<SettingsRefusal> RefuseSettings(const PortSettings& s, bool checkSpeed);

}  // namespace zep8
