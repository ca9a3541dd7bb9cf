#pragma once

// The statuses of a foreign protocol's exchange and their texts for the
// operator.

#include <string>

namespace zep8 {

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
// What the operator is told of a foreign-protocol status (the module's own
// error replies are in device_error_text.h).
std::string ForeignStatusText(int status);

}  // namespace zep8
