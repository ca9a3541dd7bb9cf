#pragma once

#include <cstdint>
#include <stdexcept>
#include <string>
#include <string_view>
#include <vector>

namespace zep8 {

// A damaged or foreign archive. Never leaves the model: the configuration
// loader turns it into the operator's message.
class ArchiveError : public std::runtime_error {
  public:
    using std::runtime_error::runtime_error;
};

// Reads the binary object archive of .zep files. Every read is bounded by the
// bytes really there: nothing is allocated beyond the input's size.
class ArchiveReader {
  public:
    struct ClassRecord {
        std::string name;
        std::uint16_t schema = 0;
    };

    explicit ArchiveReader(std::string_view bytes) : bytes_(bytes) {}

    std::uint8_t ReadByte();
    std::uint16_t ReadWord();
    std::uint32_t ReadDword();
    std::int32_t ReadInt() { return static_cast<std::int32_t>(ReadDword()); }
    bool ReadBool() { return ReadByte() != 0; }
    // Stored in Windows-1251 or UTF-16; returned in UTF-8, cut at the first zero character.
    std::string ReadString();
    // A class reference that must name `required` or a class derived from it.
    ClassRecord ReadClass(std::string_view required);

    std::size_t remaining() const { return bytes_.size() - position_; }

  private:
    std::string_view Take(std::uint64_t count);
    std::uint64_t ReadLength();

    std::string_view bytes_;
    std::size_t position_ = 0;
    std::vector<ClassRecord> classes_;  // class number n is classes_[n - 1]
};

}  // namespace zep8
