#pragma once

#include <cstdint>
#include <string>

namespace zep8 {

// The text of an error code that the module returns in an "n.Err" reply. The
// first data byte, read as signed, selects it; without data nothing is written
// (result 0), else result 1.
int DeviceErrorText(const std::uint8_t* data, std::size_t count, std::string& text);

// Statuses of an exchange in a foreign protocol.
enum ForeignStatus : int {
    FOREIGN_OK = 0,
    FOREIGN_NOT_8_BIT = -1,
    FOREIGN_TIMEOUT = 2,
    FOREIGN_LINE_ERRORS = 3,
    FOREIGN_CHECKSUM = 4,
    FOREIGN_ADDRESS = 5,
    FOREIGN_MALFORMED = 6,
};
std::string ForeignStatusText(int status);

}  // namespace zep8
