#pragma once

#include <cstdint>
#include <map>
#include <string>
#include <string_view>

namespace zep8 {

// Writes the binary object archive of .zep files: little-endian numbers,
// length-prefixed Windows-1251 strings and class records numbered from 1.
class ArchiveWriter {
  public:
    void WriteByte(std::uint8_t value);
    void WriteWord(std::uint16_t value);
    void WriteDword(std::uint32_t value);
    void WriteInt(std::int32_t value) { WriteDword(static_cast<std::uint32_t>(value)); }
    void WriteBool(bool value) { WriteByte(value ? 1 : 0); }
    // A UTF-8 text, stored in Windows-1251.
    void WriteString(std::string_view utf8);
    // The full record at a class's first occurrence, its number afterwards.
    void WriteClass(std::string_view className, std::uint16_t schema);

    const std::string& bytes() const { return bytes_; }

  private:
    std::string bytes_;
    std::map<std::string, std::uint32_t, std::less<>> classNumbers_;
};

}  // namespace zep8
