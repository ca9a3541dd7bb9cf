#pragma once

#include <cstdint>
#include <string>

namespace zep8 {

// The text of an error code that the module returns in an "n.Err" reply. The
// first data byte, read as signed, selects it; without data nothing is written
// (result 0), else result 1.
int DeviceErrorText(const std::uint8_t* data, std::size_t count, std::string& text);

}  // namespace zep8
