#pragma once

#include <cstdint>

namespace zep8::archive {

// Tags of class references in the object archive.
inline constexpr std::uint16_t kNewClassTag = 0xFFFF;   // a full class record follows
inline constexpr std::uint16_t kClassTag = 0x8000;      // | the class number
inline constexpr std::uint16_t kBigClassTag = 0x7FFF;   // a 32-bit class number follows
inline constexpr std::uint32_t kBigClassFlag = 0x80000000;

}  // namespace zep8::archive
