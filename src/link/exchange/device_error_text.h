#pragma once

// The operator's texts of the module's error replies and of its silence.

#include <cstdint>
#include <string>
#include <string_view>

namespace zep8 {

// What the operator is told when the module stays silent, in any protocol.
inline constexpr std::string_view kTimeoutText = "Таймаут при передаче данных (нет связи)";

// The text of an error code that the module returns in an "n.Err" reply. The
// first data byte, read as signed, selects it; without data nothing is written
// (result 0), else result 1.
int DeviceErrorText(const std::uint8_t* data, std::size_t count, std::string& text);

}  // namespace zep8
